#!/usr/bin/env bash
# Fuzzes parse_itch for DURATION seconds (default 60), in two halves:
#   1. coverage-guided against the module as the tests build it, growing a corpus;
#   2. that corpus and fresh mutations against a build with AddressSanitizer and
#      UndefinedBehaviorSanitizer, which catch memory errors that do not crash.
# Installs what it needs (atheris into .venv, via tools/setup.sh). Exits non-zero
# on any finding; the input is left in build/fuzz-itch/artifacts/.
# Set FUZZ_ITCH_SANITIZE=0 to skip the sanitized half.
set -euo pipefail
duration=${1:-60}
cd "$(dirname "$0")/.."
source tools/setup.sh atheris
install_module

work=build/fuzz-itch
mkdir -p "$work/corpus" "$work/artifacts"
# Inputs up to a few frames of the largest recognised messages; the block
# boundaries of big files are covered by the tests.
fuzz_flags=(-timeout=10 -max_len=8192 -print_final_stats=1 -artifact_prefix="$work/artifacts/")
first=$((duration / 2))
[ "${FUZZ_ITCH_SANITIZE:-1}" = 0 ] && first=$duration

echo "== fuzz parse_itch: ${first}s coverage-guided"
"$PY" fuzz/fuzz_itch.py "$work/corpus" -max_total_time="$first" "${fuzz_flags[@]}"

[ "$first" -ge "$duration" ] && exit 0
echo "== fuzz parse_itch: $((duration - first))s under ASan+UBSan"
# The sanitizer flags are given here rather than through TESSARIN_SANITIZE: with
# the null and nonnull checks on, g++ 12 no longer evaluates the binding
# toolkit's compile-time signature parsing (string_view compares) as constant.
sanitize="-fsanitize=address,undefined -fno-sanitize=null,nonnull-attribute,returns-nonnull-attribute"
"$PY" -m pip install -q --disable-pip-version-check --no-build-isolation --no-deps --upgrade \
  --target "$work/site" -Cbuild-dir="$work/py" -Ccmake.build-type=RelWithDebInfo \
  "-Ccmake.define.CMAKE_CXX_FLAGS=$sanitize -fno-sanitize-recover=all -fno-omit-frame-pointer" \
  "-Ccmake.define.CMAKE_MODULE_LINKER_FLAGS=-fsanitize=address,undefined" .
# The interpreter is not built with the sanitizer runtime: it must be loaded
# first, and libstdc++ with it so that its exception interceptors resolve.
export PYTHONPATH="$work/site"
export LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so.6)"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$PY" -c 'import sys, tessarin; sys.exit("sanitized module not found" if "fuzz-itch" not in tessarin.__file__ else 0)'
"$PY" fuzz/fuzz_itch.py "$work/corpus" -max_total_time="$((duration - first))" "${fuzz_flags[@]}"
