#!/usr/bin/env bash
# Quorix as a static page: the engine compiled to WebAssembly (src/web) runs
# in a Web Worker of the page (web/); nothing is installed for it and no
# request leaves the page.
#   scripts/web.sh [--build-only] [--port N]
# Builds the engine with Debian's emscripten (in build/wasm when
# scripts/cross.sh wasm made it, else in build/web), installs the page's
# chart library with npm (web/package-lock.json), assembles the site in
# build/web/site and, unless --build-only, serves it on 127.0.0.1 (port
# 8000 unless --port) until interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
port=8000
while (($#)); do
  case "$1" in
    --build-only) build_only=1 ;;
    --port) port=${2:?--port needs a number}; shift ;;
    --port=*) port=${1#--port=} ;;
    *) echo "usage: scripts/web.sh [--build-only] [--port N]" >&2; exit 2 ;;
  esac
  shift
done
[[ "$port" =~ ^[0-9]+$ ]] || { echo "scripts/web.sh: --port takes a number, not \"$port\"" >&2; exit 2; }

# Emscripten, Node.js with npm, and Python for the server. deps.sh ends
# with status 2 for a group it does not know: until it has the group web,
# what is installed is used (and a missing tool fails below, by name).
deps=0
bash scripts/deps.sh web || deps=$?
if ((deps == 2)); then
  echo "scripts/web.sh: scripts/deps.sh has no group web yet; using the tools installed" >&2
elif ((deps != 0)); then
  exit "$deps"
fi

# Emscripten's tools are Node.js programs that need Debian's node modules
# (acorn), which a Node.js from elsewhere does not search.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

dir=build/web
# The page's engine is one more target of the WebAssembly build: where
# scripts/cross.sh wasm has configured build/wasm (same compiler, same
# flags), it is built there and the engine's libraries are not compiled a
# second time; else in build/web, without the test programs.
# $QUORIX_WEB_ENGINE_BUILD names another folder to look in first (build/web
# for a build of the page's engine alone).
engine=${QUORIX_WEB_ENGINE_BUILD:-build/wasm}
if ! grep -qs '^CMAKE_TOOLCHAIN_FILE:.*Emscripten' "$engine/CMakeCache.txt"; then
  engine=$dir
  emcmake cmake -S . -B "$engine" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_TESTS=OFF >/dev/null
fi
nice -n 10 cmake --build "$engine" -j 2 --target quorix-web

# The chart library, as web/package-lock.json pins it.
(cd web && npm ci --no-audit --no-fund --loglevel=error)

site=$dir/site
rm -rf "$site"
mkdir -p "$site"
# The page's modules are every script in web/ but the service worker,
# which is written below with its version.
cp web/index.html web/style.css "$site/"
for script in web/*.js; do
  [[ $script == web/sw.js ]] || cp "$script" "$site/"
done
cp "$engine/src/web/quorix-web.js" "$engine/src/web/quorix-web.wasm" "$site/"
cp web/node_modules/echarts/dist/echarts.min.js "$site/"
# The service worker's cache is named for the site's contents, so that a
# changed site is cached afresh.
version=$(cat "$site"/* | sha256sum | cut -c1-16)
sed "s/@SITE_VERSION@/$version/" web/sw.js >"$site/sw.js"
echo "site: $site"

((build_only)) && exit 0
echo "Quorix: http://127.0.0.1:$port/"
exec /usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
