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

# The start-up is compared with the hello-world linked as quorix-cli is.
if ldd "$cli" >/dev/null 2>&1; then linkage=dynamic; else linkage=static; fi

json=$(mktemp)
trap 'rm -f "$json"' EXIT
load_before=$(cut -d' ' -f1 /proc/loadavg)
hyperfine -N --style none --warmup 5 --runs "$runs" --export-json "$json" \
  -n "cli parse" "$cli parse 1" \
  -n "hello dynamic" "$hello" \
  -n "hello static" "$hello_static" \
  -n "cli accurate n=3" "$cli sweep --n 3 --accurate" \
  -n "peer n=3" "$peer 3" \
  -n "cli specified n=2" "$cli sweep --n 2" \
  -n "peer n=2" "$peer 2" \
  -n "cli specified n=3 cold" "$cli sweep --n 3" >/dev/null

/usr/bin/python3 - "$json" "$linkage" "$load_before" <<'PY'
import json, os, statistics, sys
linkage, load_before = sys.argv[2], sys.argv[3]
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
med = {name: statistics.median(r["times"]) * 1e3 for name, r in results.items()}
cpu_ms = {name: (r["user"] + r["system"]) * 1e3 for name, r in results.items()}
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown CPU")
with open("/proc/loadavg") as f:
    load = f.read().split()[0]
print(f"Machine: {cpu}, {os.cpu_count()} logical CPUs; load average {load_before} before the run, {load} after")
print()
print("| whole process | quorix-cli | peer | ratio | target | CPU time (mean user + system) |")
print("|---|---|---|---|---|---|")
rows = [
    ("`quorix-cli parse 1` (start-up alone)", "cli parse", f"hello {linkage}", None,
     f"within 0.7 ms of the {linkage} hello-world"),
    ("sweep, accurate, n = 3", "cli accurate n=3", "peer n=3", 0.5, "≤ 0.5×"),
    ("sweep, specified, n = 2", "cli specified n=2", "peer n=2", 0.8, "≤ 0.8×"),
    ("sweep, specified, n = 3 (cold)", "cli specified n=3 cold", "peer n=3", 1.5, "≤ 1.5×"),
]
for label, ours, theirs, target, text in rows:
    a, b = med[ours], med[theirs]
    if target is None:
        verdict = "met" if a - b <= 0.7 else "missed"
        hello = f"C++ hello-world: {med['hello dynamic']:.2f} ms dynamic, {med['hello static']:.2f} ms static"
        print(f"| {label} ({linkage}) | {a:.2f} ms | {hello} | {a - b:+.2f} ms | {text}: {verdict} "
              f"| {cpu_ms[ours]:.2f} ms vs {cpu_ms[theirs]:.2f} ms |")
    else:
        verdict = "met" if a / b <= target else "missed"
        print(f"| {label} | {a:.2f} ms | {b:.2f} ms | {a / b:.2f}× | {text}: {verdict} "
              f"| {cpu_ms[ours]:.2f} ms vs {cpu_ms[theirs]:.2f} ms |")
print()
print(f"Medians of one `hyperfine -N` run of {len(next(iter(results.values()))['times'])} runs each; the peer is GSL")
print("(gsl_sf_hyperg_2F1, gsl_root_fsolver_brent) as its own process. On a loaded machine the medians move")
print("with the load; the CPU times move less.")
PY
