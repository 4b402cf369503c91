#!/usr/bin/env bash
# Builds everything and runs every test: the C++ suite, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Python suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh "ta-lib>=0.6"

# Runs a ctest suite, printing only its summary unless something fails.
run_ctest() {
  local log="$1/ctest.log"
  if ! ctest --test-dir "$1" --output-on-failure -j2 >"$log" 2>&1; then
    cat "$log"
    return 1
  fi
  tail -n 3 "$log"
}

echo "== C++ tests"
cmake -S . -B build/cpp -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTESSARIN_BUILD_PYTHON=OFF -DTESSARIN_BUILD_TESTS=ON -DTESSARIN_BUILD_BENCH=ON >/dev/null
cmake --build build/cpp -j2
run_ctest build/cpp

echo "== C++ tests under ASan+UBSan"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSARIN_BUILD_PYTHON=OFF -DTESSARIN_BUILD_TESTS=ON -DTESSARIN_SANITIZE=ON >/dev/null
cmake --build build/asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build/asan

echo "== Fuzzing the ITCH reader"
bash fuzz/run.sh "${FUZZ_SECONDS:-60}"

echo "== Python tests"
install_module
"$PY" -m pytest -q tests "$@"
