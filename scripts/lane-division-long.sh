#!/bin/sh
# The long check of the FMA division of the digamma lanes: builds
# lane_division_test (Release, engine only) in build/lane-division and runs it
# with 10^9 drawn pairs per family (3·10^9) and every series denominator
# (k + x − 1)·k, k = 1 … 100000, of the default sweeps' arguments (9·10^8).
#
#   scripts/lane-division-long.sh        10^9 drawn pairs per family
#   scripts/lane-division-long.sh N      N·10^6 pairs per family (all denominators from N = 900)
#
# Prints pairs, lanes answered by the FMA sequence and mismatches per family;
# exit status 1 on any mismatch. Needs a processor with AVX-512 (elsewhere the
# tests are skipped).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/lane-division"
case "${1:-}" in
  -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
esac
case "${1:-1000}" in
  ''|*[!0-9]*|0) echo "usage: $0 [millions of pairs per family, a positive whole number]" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF \
  -DQUORIX_PYTHON=OFF >/dev/null
cmake --build "$build" --target lane_division_test
export QUORIX_LANE_DIVISION_MILLIONS="${1:-1000}"
exec "$build/tests/specialfunctions/lane_division_test"
