#!/bin/sh
# The long check of the FMA division of the digamma lanes: builds
# lane_division_long (Release, engine only) in build/lane-division and runs
# it, single-threaded apart from the sweeps that record the series arguments.
#
#   scripts/lane-division-long.sh        10^9 drawn pairs per class (3·10^9)
#                                        and every series denominator (3.3·10^8)
#   scripts/lane-division-long.sh N      N·10^6 drawn pairs per class
#
# Prints pairs, lanes answered by the FMA sequence and mismatches per class;
# exit status 1 on any mismatch. Needs a processor with AVX-512 (elsewhere it
# says so and exits 0). About two minutes on one core of an AMD EPYC Zen 4.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/lane-division"
case "${1:-}" in
  -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
esac
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF \
  -DQUORIX_PYTHON=OFF >/dev/null
cmake --build "$build" --target lane_division_long
exec "$build/tests/specialfunctions/lane_division_long" "$@"
