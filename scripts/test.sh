#!/usr/bin/env bash
# Builds Quorix and runs every test: the whole suite optimised (-O2), the
# engine's and command line's suites again unoptimised (-O0) and under
# AddressSanitizer with UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test

jobs=$(nproc)
run_suite() {  # name, cmake options...
  local dir="build/$1"
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

run_suite release -DCMAKE_BUILD_TYPE=Release
run_suite o0 -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g" -DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF
run_suite sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIX_SANITIZE=address,undefined -DQUORIX_GUI=OFF \
  -DQUORIX_BENCH=OFF
