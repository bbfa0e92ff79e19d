#!/usr/bin/env bash
# Runs each argument as one step (a command line for bash), in order, and
# stops at the first that fails. After each step it prints the step's time
# and the time of all so far, so that a slow run shows where its minutes went:
#   bash scripts/steps.sh 'bash scripts/test.sh' 'bash scripts/window-check.sh'
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
minutes() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }
for step in "$@"; do
  began=$SECONDS
  status=0
  bash -c "$step" || status=$?
  took=$((SECONDS - began))
  if ((status)); then
    echo "step: '$step' FAILED (status $status) after $(minutes "$took"); all steps so far $(minutes $((SECONDS - start)))" >&2
    exit "$status"
  fi
  echo "step: '$step' done in $(minutes "$took"); all steps so far $(minutes $((SECONDS - start)))"
done
