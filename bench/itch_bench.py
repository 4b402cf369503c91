#!/usr/bin/env python3
"""parse_itch end to end from Python on a generated feed (1 GB by default):
messages/s, MB/s, and the peak RSS of the call relative to the pairs returned.

Each run is a fresh interpreter, so the peak RSS is that of one call. The feed
is generated once and kept beside its summary for later runs.

    python bench/itch_bench.py [--size 1G] [--feed PATH] [--runs N]
"""

from __future__ import annotations

import argparse
import json
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
import gen_itch  # noqa: E402

# Wall time, and the CPU time split into user and system: on a shared machine
# the wall time also counts waiting for a core, and most of the system time is
# the kernel faulting in the pages of the new objects.
CHILD = r"""
import json, os, resource, sys, time
import tessarin
def usage():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime, r.ru_stime, r.ru_maxrss
user0, sys0, before = usage()
start = time.perf_counter()
pairs = tessarin.parse_itch(sys.argv[1])
elapsed = time.perf_counter() - start
user1, sys1, peak = usage()
print(json.dumps({"seconds": elapsed, "user": user1 - user0, "sys": sys1 - sys0, "pairs": len(pairs),
                  "rss_before_kib": before, "rss_peak_kib": peak}), flush=True)
os._exit(0)  # freeing millions of objects is not part of the call
"""


def feed_summary(path: pathlib.Path, size: int, seed: int) -> dict:
    meta = path.with_suffix(".json")
    if path.exists() and meta.exists():
        info = json.loads(meta.read_text())
        if info.get("target_size") == size and info.get("seed") == seed and info["bytes"] == path.stat().st_size:
            return info
    path.parent.mkdir(parents=True, exist_ok=True)
    print(f"generating {path} ({size / 1e6:.0f} MB, seed {seed}) ...", file=sys.stderr)
    info = gen_itch.generate(str(path), size=size, seed=seed)
    info.update(target_size=size, seed=seed)
    meta.write_text(json.dumps(info))
    return info


def run_once(path: pathlib.Path) -> dict:
    out = subprocess.run([sys.executable, "-c", CHILD, str(path)], check=True, capture_output=True, text=True)
    return json.loads(out.stdout)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", default="1G", help="feed size, e.g. 100M or 1G")
    parser.add_argument("--feed", type=pathlib.Path, default=None)
    parser.add_argument("--seed", type=int, default=2024)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args(argv)
    size = gen_itch.parse_size(args.size)
    path = args.feed or ROOT / "build" / "itch-bench" / f"feed-{args.size}-{args.seed}.itch"
    info = feed_summary(path, size, args.seed)
    megabytes = info["bytes"] / 1e6
    print(f"feed {path}: {megabytes:.1f} MB, {info['messages']:,} messages, {info['pairs']:,} pairs")
    best = None
    for i in range(args.runs):
        r = run_once(path)
        assert r["pairs"] == info["pairs"], (r["pairs"], info["pairs"])
        grown = (r["rss_peak_kib"] - r["rss_before_kib"]) * 1024
        cpu = r["user"] + r["sys"]
        print(f"run {i + 1}: {r['seconds']:.3f} s wall ({r['user']:.2f} user + {r['sys']:.2f} sys)  "
              f"{info['messages'] / r['seconds'] / 1e6:.2f} M messages/s wall, "
              f"{info['messages'] / cpu / 1e6:.2f} on CPU time  {megabytes / r['seconds']:.0f} MB/s  "
              f"peak RSS {r['rss_peak_kib'] / 1024:.0f} MiB ({grown / r['pairs']:.1f} bytes per pair "
              f"over the {r['rss_before_kib'] / 1024:.0f} MiB before the call)")
        if best is None or r["seconds"] < best["seconds"]:
            best = r
    print(f"best: {info['messages'] / best['seconds'] / 1e6:.2f} M messages/s, "
          f"{info['pairs'] / best['seconds'] / 1e6:.2f} M pairs/s, {megabytes / best['seconds']:.0f} MB/s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
