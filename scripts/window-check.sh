#!/usr/bin/env bash
# Checks the README's first command as a user meets it: `bash scripts/run.sh`
# under a virtual X server must build Quorix and show its main window. Waits
# for the window's caption, then closes the program. Exit 0 when the window
# appeared; 1 when run.sh ended first or nothing appeared in time.
#   scripts/window-check.sh [SECONDS]   how long to wait in all (default 1800:
#                                        the build is part of the wait)
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-1800}
caption="Quorix : Bouc-Wen Dissipated Energy"

# The X server and xwininfo; run.sh installs the rest itself.
bash scripts/deps.sh window

export limit caption
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  bash scripts/run.sh &
  pid=$!
  for ((t = 0; t < limit; t++)); do
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$caption\""; then
      echo "window-check: \"$caption\" is shown (after ${t} s, build included)"
      kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
      exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"; status=$?
      echo "window-check: scripts/run.sh ended (status $status) before the window appeared" >&2
      exit 1
    fi
    sleep 1
  done
  echo "window-check: no window \"$caption\" within ${limit} s" >&2
  kill "$pid" 2>/dev/null
  exit 1'
