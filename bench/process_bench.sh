#!/usr/bin/env bash
# Whole processes side by side in one hyperfine run: quorix-cli against the
# GSL peer (bench/peer/gsl_peer.c, exact mathematics) and against a C++
# hello-world for the start-up alone. Prints a Markdown table of the medians
# and their ratios, with the machine it ran on.
#
#   bench/process_bench.sh [BUILD_DIR] [RUNS]     (default build/release, 200)
#
# BUILD_DIR must hold quorix-cli and the benchmarks (QUORIX_BENCH=ON, GSL).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-200}
cli=$build/src/cli/quorix-cli
peer=$build/bench/quorix_gsl_peer
hello=$build/bench/quorix_hello
hello_static=$build/bench/quorix_hello_static
for program in "$cli" "$peer" "$hello" "$hello_static"; do
  [[ -x $program ]] || { echo "process_bench.sh: $program is missing: build quorix-cli and the benchmarks in $build" >&2; exit 2; }
done
command -v hyperfine >/dev/null || { echo "process_bench.sh: needs hyperfine" >&2; exit 2; }

# The two programs must print the same table before their times mean anything.
if ! cmp -s <("$cli" sweep --n 3 --accurate) <("$peer" 3); then
  echo "process_bench.sh: quorix-cli sweep --accurate and the peer print different tables" >&2
  exit 1
fi

json=$(mktemp)
trap 'rm -f "$json"' EXIT
hyperfine -N --warmup 5 --runs "$runs" --export-json "$json" \
  -n "cli parse" "$cli parse 1" \
  -n "hello dynamic" "$hello" \
  -n "hello static" "$hello_static" \
  -n "cli accurate n=3" "$cli sweep --n 3 --accurate" \
  -n "peer n=3" "$peer 3" \
  -n "cli specified n=2" "$cli sweep --n 2" \
  -n "peer n=2" "$peer 2" \
  -n "cli specified n=3 cold" "$cli sweep --n 3" >/dev/null

/usr/bin/python3 - "$json" <<'PY'
import json, statistics, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
med = {name: statistics.median(r["times"]) * 1e3 for name, r in results.items()}
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown CPU")
with open("/proc/loadavg") as f:
    load = f.read().split()[0]
import os
print(f"Machine: {cpu}, {os.cpu_count()} logical CPUs, load average {load} at the end of the run")
print()
print("| whole process | quorix-cli | peer | ratio | target |")
print("|---|---|---|---|---|")
rows = [
    ("`quorix-cli parse 1` (start-up alone)", "cli parse", "hello dynamic", None, "within 0.7 ms of hello-world"),
    ("sweep, accurate, n = 3", "cli accurate n=3", "peer n=3", 0.5, "≤ 0.5×"),
    ("sweep, specified, n = 2", "cli specified n=2", "peer n=2", 0.8, "≤ 0.8×"),
    ("sweep, specified, n = 3 (cold)", "cli specified n=3 cold", "peer n=3", 1.5, "≤ 1.5×"),
]
for label, ours, theirs, target, text in rows:
    a, b = med[ours], med[theirs]
    if target is None:
        verdict = "met" if a - b <= 0.7 else "missed"
        print(f"| {label} | {a:.2f} ms | C++ hello-world: {b:.2f} ms dynamic, {med['hello static']:.2f} ms static | +{a - b:.2f} ms | {text}: {verdict} |")
    else:
        verdict = "met" if a / b <= target else "missed"
        print(f"| {label} | {a:.2f} ms | {b:.2f} ms | {a / b:.2f}× | {text}: {verdict} |")
print()
print("Medians of one `hyperfine -N` run; the peer is GSL (gsl_sf_hyperg_2F1, gsl_root_fsolver_brent) as its own process.")
PY
