"""The README's Python examples run as written."""

import pathlib
import re
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[1]
BLOCKS = re.findall(r"```python\n(.*?)```", (ROOT / "README.md").read_text(), re.S)


@pytest.mark.parametrize("index", range(len(BLOCKS)))
def test_readme_example_runs(index, tmp_path, monkeypatch):
    sys.path.insert(0, str(ROOT / "tools"))
    try:
        import gen_itch
    finally:
        sys.path.pop(0)
    monkeypatch.chdir(tmp_path)
    gen_itch.generate(str(tmp_path / "feed.itch"), 5000, 3)
    exec(compile(BLOCKS[index], f"README block {index}", "exec"), {})
