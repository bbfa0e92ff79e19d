#!/usr/bin/env bash
# Builds Quorix and runs every test: the whole suite optimised (Release,
# with Debian's build flags, as the packages are built); the
# engine's and command line's suites again unoptimised (-O0) under
# AddressSanitizer with UndefinedBehaviorSanitizer (one build for both
# checks: that no result leans on the optimiser, and that no access or
# arithmetic is undefined); the tests that run several threads under
# ThreadSanitizer; then every fuzzing harness for 30 s. After the release
# suite, the Python package as pip installs it
# (scripts/python-package-check.sh). First of all, that the rooms of src/
# depend one way, and that no file or function has grown past its size
# (scripts/check-sizes.py). Each part prints its minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
bash scripts/check-layers.sh
/usr/bin/python3 scripts/check-sizes.py

jobs=$(nproc)
timed() {  # name, command...
  local name=$1 began=$SECONDS
  shift
  "$@"
  echo "test.sh: $name done in $(((SECONDS - began) / 60)) min $(((SECONDS - began) % 60)) s"
}
# name, ctest's choice of tests (-R or -E with a regular expression, or ""),
# build targets (or "": all), cmake options... The choice and the targets
# are split into words; no file-name globbing (set -f) touches a regular
# expression.
set -f
run_suite() {
  local dir="build/$1" choice="$2" targets="$3"
  shift 3
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" ${targets:+--target $targets}
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure $choice
}

engine_only=(-DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF -DQUORIX_PYTHON=OFF)
# The release suite is compiled as the Debian packages are, with Debian's
# build flags (scripts/debian-flags.sh), so that the tests run on the code
# the packages ship; and through ccache, so that the pip build of the Python
# package (build/wheel) and scripts/package.sh, which compile the same
# sources with the same flags, take its objects instead of compiling them
# again. (A build folder takes both at its first configure.)
source scripts/debian-flags.sh
debian_flags
export CCACHE_DIR=$PWD/build/ccache CCACHE_BASEDIR=$PWD CMAKE_CXX_COMPILER_LAUNCHER=ccache
# The Python tests run once, on the package as pip installs it, not also
# on the build's own module.
timed "release suite" run_suite release "-E ^python_tests$" "" -DCMAKE_BUILD_TYPE=Release -DQUORIX_PYTHON=ON
timed "Python package" env QUORIX_CLI="$PWD/build/release/src/cli/quorix-cli" bash scripts/python-package-check.sh
ccache --show-stats | grep -iE '^ *(hits|misses|cache hit|cache miss)' || true
# The sanitized and fuzzing builds keep their own flags.
unset CPPFLAGS CXXFLAGS LDFLAGS CMAKE_CXX_COMPILER_LAUNCHER
# -g1: line tables for the sanitizers' reports, no more (nobody debugs here).
# The fast path's grid runs whole in the release suite; here its ends and
# middle (QUORIX_TEST_SUBSET), as under an emulator.
timed "-O0 suite under AddressSanitizer and UndefinedBehaviorSanitizer" \
  run_suite sanitize "" "" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
  -DQUORIX_SANITIZE=address,undefined -DQUORIX_TEST_SUBSET=ON "${engine_only[@]}"
# Only the programs whose tests start threads are built: a test with
# "Thread" in its name belongs in one of them.
timed "ThreadSanitizer suite" \
  run_suite thread "-R FastPath\\.|Thread|^Grid/FastPathEquality.*/3_compl|SweepStop\\.|SweepSignalTest" \
  "accurate_test commands_test fast_path_test sweep_signal_test digamma_lanes_test specialfunctions_digamma_threads_test" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DQUORIX_SANITIZE=thread "${engine_only[@]}"
timed "fuzzing" bash scripts/fuzz.sh --seconds 30 --parallel "$jobs"
