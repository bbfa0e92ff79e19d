#!/bin/sh
# Builds the libFuzzer harnesses of tests/fuzz with clang in build/fuzz and
# runs each of them, then prints a table of executions and findings.
#
#   scripts/fuzz.sh                 every harness for 30 s
#   scripts/fuzz.sh --seconds N     every harness for N s
#   scripts/fuzz.sh --long          every harness for 10^7 executions
#   scripts/fuzz.sh --long --seconds N   the same, each stopped after N s at most
#   scripts/fuzz.sh --parallel N    N harnesses at a time (default 1), each on one core
#   scripts/fuzz.sh ... HARNESS...  only these (e.g. fuzz_cli fuzz_solve)
#
# Needs clang, libfuzzer-14-dev and libclang-rt-14-dev. New inputs that
# reach new code go to build/fuzz/corpus/<harness>, findings (the input that
# broke a property, crashed or ran out of time or memory) to
# build/fuzz/findings. Exit status 1 when any harness found something.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
seconds=30
seconds_given=0
long=0
parallel=1
harnesses=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; seconds_given=1; shift 2 ;;
    --long) long=1; shift ;;
    --parallel) parallel="$2"; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) harnesses="$harnesses $1"; shift ;;
  esac
done
[ -n "$harnesses" ] || harnesses="fuzz_parse_number fuzz_format_number fuzz_cli fuzz_solve fuzz_hypergeometric fuzz_digamma fuzz_record"

case "$parallel" in
  ''|*[!0-9]*|0) echo "fuzz.sh: --parallel takes a whole number from 1, not '$parallel'" >&2; exit 2 ;;
esac

# Line tables only: a finding's stack names its lines, and nothing more of
# the debugger's information is compiled.
cmake -G Ninja -S "$root" -B "$build" -DQUORIX_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" >/dev/null
cmake --build "$build" --target $harnesses

mkdir -p "$build/findings"
# A table of this run's own, so that two runs at once do not mix theirs.
table="$build/fuzz-table.$$.txt"
printf '%-22s %14s %9s %10s\n' harness executions findings seconds >"$table"
# One harness: its run, then its line of the table in its own file (the
# table is put together in the harnesses' order at the end).
run_one() {
  h=$1
  name=${h#fuzz_}
  work="$build/corpus/$name"
  mkdir -p "$work"
  set -- -timeout=60 -print_final_stats=1 -artifact_prefix="$build/findings/$name-"
  if [ "$long" = 1 ]; then
    set -- "$@" -runs=10000000
    # --seconds with --long: a cap on the time of each harness.
    [ "$seconds_given" = 0 ] || set -- "$@" -max_total_time="$seconds"
  else
    set -- "$@" -max_total_time="$seconds"
  fi
  [ -f "$root/tests/fuzz/$name.dict" ] && set -- "$@" -dict="$root/tests/fuzz/$name.dict"
  before=$(ls "$build/findings" | grep -c "^$name-" || true)
  log="$build/$name.log"
  start=$(date +%s)
  echo "== $h"
  # Absolute paths: a harness may change its working directory.
  if "$build/tests/fuzz/$h" "$@" "$work" "$root/tests/fuzz/corpus/$name" >"$log" 2>&1; then :; fi
  end=$(date +%s)
  after=$(ls "$build/findings" | grep -c "^$name-" || true)
  found=$((after - before))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  # A run ended by a finding prints no final statistics: its last status line.
  [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
  grep -E 'most evaluator steps|PROPERTY VIOLATED|ERROR:' "$log" | sort -u || true
  printf '%-22s %14s %9s %10s\n' "$h" "${runs:-?}" "$found" $((end - start)) >"$table.$h"
}

# --parallel N: N harnesses at once, the next started when a group of N is done.
running=0
for h in $harnesses; do
  run_one "$h" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait
    running=0
  fi
done
wait
status=0
for h in $harnesses; do
  cat "$table.$h" >>"$table"
  found=$(awk '{print $3}' "$table.$h")
  [ "$found" = 0 ] || status=1
  rm -f "$table.$h"
done
echo
cat "$table"
mv "$table" "$build/fuzz-table.txt"
exit $status
