#!/usr/bin/env bash
# quorix-cli for WebAssembly under Node.js against the native one, whole
# processes side by side in one hyperfine run. Prints a Markdown table of the
# medians and their ratios, with the machine and Node.js it ran on.
#
#   bench/node_bench.sh [NATIVE_BUILD] [WASM_BUILD] [RUNS]
#                       (default build/release, build/wasm, 20)
#
# Build the two first: the test command (or any release build) for the
# native quorix-cli, `bash scripts/cross.sh wasm` for quorix-cli.js.
# A Node.js process spends some 40 ms starting and compiling the
# WebAssembly before the first row, which the default sweep (100 rows,
# about a millisecond of arithmetic) cannot hide; the long sweep
# (200 000 rows) shows the arithmetic itself.
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:-build/release}/src/cli/quorix-cli
wasm=${2:-build/wasm}/src/cli/quorix-cli.js
runs=${3:-20}
[[ -x $native ]] || { echo "node_bench.sh: $native is missing: build it first" >&2; exit 2; }
[[ -f $wasm ]] || { echo "node_bench.sh: $wasm is missing: run scripts/cross.sh wasm first" >&2; exit 2; }
command -v hyperfine >/dev/null || { echo "node_bench.sh: needs hyperfine" >&2; exit 2; }
node=$(command -v nodejs || command -v node) || { echo "node_bench.sh: needs Node.js" >&2; exit 2; }

long=(sweep --n 3 --accurate --from 0 --to 100 --step 0.0005)
# The same bytes before the times mean anything.
for args in "sweep --n 3 --accurate" "${long[*]}" "sweep --n 3"; do
  # shellcheck disable=SC2086  # the words of $args are the arguments
  if ! cmp -s <("$native" $args) <("$node" "$wasm" $args); then
    echo "node_bench.sh: '$args' prints different bytes natively and under Node.js" >&2
    exit 1
  fi
done

# WebAssembly has no threads, and a long native sweep shares its rows among
# the cores: both run pinned to one processor, so that the ratio is that of
# the arithmetic on one core.
pin=""
command -v taskset >/dev/null && pin="taskset -c 0 "

json=$(mktemp)
trap 'rm -f "$json"' EXIT
load_before=$(cut -d' ' -f1 /proc/loadavg)
hyperfine -N --style none --warmup 2 --runs "$runs" --export-json "$json" \
  -n "native version" "$pin$native --version" \
  -n "node version" "$pin$node $wasm --version" \
  -n "native accurate" "$pin$native sweep --n 3 --accurate" \
  -n "node accurate" "$pin$node $wasm sweep --n 3 --accurate" \
  -n "native accurate long" "$pin$native ${long[*]}" \
  -n "node accurate long" "$pin$node $wasm ${long[*]}" \
  -n "native specified" "$pin$native sweep --n 3" \
  -n "node specified" "$pin$node $wasm sweep --n 3" >/dev/null

/usr/bin/python3 - "$json" "$load_before" "$("$node" --version)" <<'PY'
import json, os, statistics, sys
load_before, node_version = sys.argv[2], sys.argv[3]
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
med = {name: statistics.median(r["times"]) * 1e3 for name, r in results.items()}
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown CPU")
with open("/proc/loadavg") as f:
    load = f.read().split()[0]
print(f"Machine: {cpu}, {os.cpu_count()} logical CPUs, Node.js {node_version}; "
      f"load average {load_before} before the run, {load} after")
print()
print("| whole process | native | WebAssembly under Node.js | ratio |")
print("|---|---|---|---|")
rows = [("`--version` (start-up alone)", "version"),
        ("sweep, accurate, n = 3 (100 rows)", "accurate"),
        ("sweep, accurate, n = 3, 200 000 rows", "accurate long"),
        ("sweep, specified, n = 3 (100 rows)", "specified")]
for label, key in rows:
    a, b = med["native " + key], med["node " + key]
    print(f"| {label} | {a:.1f} ms | {b:.1f} ms | {b / a:.2f}× |")
long_ratio = (med["node accurate long"] - med["node version"]) / (med["native accurate long"] - med["native version"])
print()
print(f"The long accurate sweep less each start-up: {long_ratio:.2f}× the native time (target: at most 2×).")
print(f"Medians of one `hyperfine -N` run of {len(next(iter(results.values()))['times'])} runs each, "
      "every process pinned to one processor.")
PY
