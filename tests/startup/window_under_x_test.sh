#!/bin/sh
# Starts the real quorix binary on a virtual X server, waits for its main
# window to appear (found by its caption), checks its size, and ends it.
# Usage: window_under_x_test.sh QUORIX_BINARY
set -u
caption='Quorix : Bouc-Wen Dissipated Energy'

if [ "${1:-}" != "--inside" ]; then
  for tool in xvfb-run xwininfo; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed (packages xvfb and x11-utils)"
      exit 77
    fi
  done
  exec xvfb-run -a -s "-screen 0 800x600x24" sh "$0" --inside "$1"
fi

binary=$2
# No platform override from the caller: this one runs on X.
env -u QT_QPA_PLATFORM "$binary" &
pid=$!
found=""
i=0
while [ $i -lt 100 ]; do
  found=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$caption\"")
  [ -n "$found" ] && break
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: quorix exited before showing its window"
    exit 1
  fi
  sleep 0.2
  i=$((i + 1))
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [ -z "$found" ]; then
  echo "FAIL: no window captioned '$caption' within 20 s"
  exit 1
fi
echo "found:$found"
# A fixed client width of 7545 twips: 503 pixels.
case "$found" in
  *" 503x"*) echo "PASS" ;;
  *) echo "FAIL: the window is not 503 pixels wide"; exit 1 ;;
esac
