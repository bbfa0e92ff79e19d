#!/usr/bin/env bash
# The page's browser tests: Playwright (web/tests, pinned by its
# package-lock.json) drives Debian's chromium, headless, over the site that
# scripts/web.sh assembles and serves, and compares what the page shows and
# downloads with the native quorix-cli run at test time.
#   scripts/web-test.sh [PLAYWRIGHT TEST OPTIONS...]   e.g. -g 'Solve'
# Exits non-zero when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
here=$PWD

bash scripts/deps.sh web-test
# The page's reading of the engine's JSON answers, without a browser: Node's
# own test runner, no package of its own.
node --test web/tests/unit/
bash scripts/web.sh --build-only

# The native quorix-cli for the expected values: the one in build/release
# where a build there knows it (the test command made it, and it is then
# current at no cost; grep reads the whole list, as -q ending the pipe early
# would fail it under pipefail), else a build of that program alone.
host=build/release
if ! ninja -C "$host" -t targets all 2>/dev/null | grep '^quorix-cli:' >/dev/null; then
  host=build/web-host
  cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF -DQUORIX_PYTHON=OFF \
    -DQUORIX_TESTS=OFF >/dev/null
fi
nice -n 10 cmake --build "$host" -j 2 --target quorix-cli

# Playwright's own browsers are not fetched: the tests run Debian's chromium.
cd web/tests
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
# A port no one listens on: a bare root shares the machine's network, where
# a fixed port may be taken.
port=${QUORIX_WEB_PORT:-$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')}
QUORIX_WEB_PORT=$port QUORIX_CLI="$here/$host/src/cli/quorix-cli" npx --no-install playwright test "$@"
