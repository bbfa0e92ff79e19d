#!/usr/bin/env bash
# Time from starting the program to its main window being mapped, under a
# virtual X server: quorix against the lightest Qt Widgets program (a label
# in a window), the medians of RUNS starts each, taken in turns.
#
#   bench/window_startup.sh [BUILD_DIR] [RUNS]     (default build/release, 30)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-30}
quorix=$build/src/startup/quorix
hello=$build/bench/quorix_qt_hello
shown=$build/bench/quorix_window_shown
for program in "$quorix" "$hello" "$shown"; do
  [[ -x $program ]] || { echo "window_startup.sh: $program is missing: build the window and the benchmarks in $build" >&2; exit 2; }
done
export quorix hello shown runs
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c '
  export QT_QPA_PLATFORM=xcb
  # One start of each first: the files are in the page cache from then on.
  "$shown" "Quorix : Bouc-Wen Dissipated Energy" "$quorix" >/dev/null
  "$shown" "Qt hello" "$hello" >/dev/null
  for ((i = 0; i < runs; i++)); do
    echo "quorix $("$shown" "Quorix : Bouc-Wen Dissipated Energy" "$quorix")"
    echo "hello $("$shown" "Qt hello" "$hello")"
  done' 2>/dev/null | /usr/bin/python3 -c '
import os, statistics, sys
times = {}
for line in sys.stdin:
    fields = line.split()
    if len(fields) != 2:
        sys.exit(f"window_startup.sh: a start failed: {line.strip()}")
    name, ms = fields
    times.setdefault(name, []).append(float(ms))
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown CPU")
load = open("/proc/loadavg").read().split()[0]
print(f"Machine: {cpu}, {os.cpu_count()} logical CPUs, load average {load}")
for name, label in (("quorix", "quorix (main window)"), ("hello", "Qt hello-world (a label)")):
    t = sorted(times[name])
    print(f"{label:28s} median {statistics.median(t):7.1f} ms   min {t[0]:7.1f} ms   ({len(t)} starts)")
'
