#!/usr/bin/env bash
# Builds Quorix and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_TESTS=OFF -DQUORIX_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
exec build/release/src/startup/quorix "$@"
