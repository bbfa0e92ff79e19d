#!/usr/bin/env bash
# Builds Quorix and runs every test: the whole suite optimised (-O2), the
# engine's and command line's suites again unoptimised (-O0) and under
# AddressSanitizer with UndefinedBehaviorSanitizer, and the tests that run
# several threads under ThreadSanitizer; then every fuzzing harness for 30 s.
# After the release suite, the Python package as pip installs it
# (scripts/python-package-check.sh).
# First of all, that the rooms of src/ depend one way.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
bash scripts/check-layers.sh

jobs=$(nproc)
run_suite() {  # name, ctest name filter (or ""), cmake options...
  local dir="build/$1" filter="$2"
  shift 2
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure ${filter:+-R "$filter"}
}

engine_only=(-DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF -DQUORIX_PYTHON=OFF)
run_suite release "" -DCMAKE_BUILD_TYPE=Release -DQUORIX_PYTHON=ON
QUORIX_CLI=$PWD/build/release/src/cli/quorix-cli bash scripts/python-package-check.sh
run_suite o0 "" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g" "${engine_only[@]}"
run_suite sanitize "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIX_SANITIZE=address,undefined "${engine_only[@]}"
run_suite thread "FastPath\\.|Thread|^Grid/FastPathEquality.*/3_compl|SweepStop\\.|SweepSignalTest" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIX_SANITIZE=thread "${engine_only[@]}"
bash scripts/fuzz.sh --seconds 30
