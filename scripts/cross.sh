#!/usr/bin/env bash
# Builds Quorix for another machine and runs its tests there, under an
# emulator of this machine:
#   scripts/cross.sh arm64     Linux on 64-bit ARM (g++-aarch64-linux-gnu, qemu-aarch64-static)
#   scripts/cross.sh windows   Windows on x86-64 (g++-mingw-w64-x86-64, Wine)
#   scripts/cross.sh wasm      WebAssembly for Node.js (Debian's emscripten)
# In build/<target>: the engine, the command core, the measured records,
# the materials, the command line and their test programs, each test
# program run once under the emulator. Then the command line's own
# acceptance (tests/cli, which start quorix-cli as a child of a shell),
# built for this machine (build/release, or build/cross-host), runs against
# the target's quorix-cli, each run under the emulator (QUORIX_CLI_COMMAND).
# Prints the number of tests that ran and passed on the target.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-}
jobs=$(nproc)
here=$PWD

case "$target" in
  arm64)
    configure=(cmake -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/aarch64-linux-gnu.cmake")
    cli="qemu-aarch64-static -L /usr/aarch64-linux-gnu $here/build/arm64/src/cli/quorix-cli" ;;
  windows)
    configure=(cmake -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/x86_64-w64-mingw32.cmake")
    cli="wine $here/build/windows/src/cli/quorix-cli.exe" ;;
  wasm)
    configure=(emcmake cmake)
    cli="node $here/build/wasm/src/cli/quorix-cli.js" ;;
  *) echo "usage: scripts/cross.sh arm64|windows|wasm" >&2; exit 2 ;;
esac

bash scripts/deps.sh "cross-$target"

if [[ "$target" == windows ]]; then
  source scripts/wine-session.sh
  wine_session "$here/build/wine-prefix"
  trap 'wineserver -k 2>/dev/null || true' EXIT
fi
if [[ "$target" == wasm ]]; then
  # Emscripten's tools are Node.js programs that need Debian's node modules
  # (acorn), which a Node.js from elsewhere does not search.
  export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
fi

dir="build/$target"
if [[ "$target" == arm64 ]]; then
  # Compiled with Debian's flags for arm64 and through ccache, as
  # scripts/package-cross.sh arm64 compiles the package's build: that one
  # then takes these objects (only the linking differs: the tests' programs
  # are static, the package's shared).
  source scripts/debian-flags.sh
  debian_flags arm64
  export CCACHE_DIR=$here/build/ccache-arm64 CCACHE_BASEDIR=$here CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
"${configure[@]}" -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j "$jobs"
# Known differences are listed in docs/other-machines.md.
ctest --test-dir "$dir" -j "$jobs" --output-on-failure | tee "$dir/ctest.log"

# The command line's acceptance, against the target's program: its test
# programs from this machine's release build where there is one (the test
# command makes it), else from a build of their own.
# scripts/run.sh reconfigures build/release without tests, and the files
# of the earlier configuration stay: ninja is asked whether it knows them.
host=build/release
# (The list is read whole first: grep -q ending the pipe early would fail it
# under pipefail.)
targets=$(ninja -C "$host" -t targets all 2>/dev/null || true)
if ! grep -q '^cli_test:' <<<"$targets"; then
  host=build/cross-host
  cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORIX_GUI=OFF -DQUORIX_BENCH=OFF -DQUORIX_PYTHON=OFF \
    >/dev/null
fi
cmake --build "$host" -j "$jobs" --target cli_test acceptance_wide_test
cli_log="$dir/cli-acceptance.log"
: >"$cli_log"
for t in cli_test acceptance_wide_test; do
  QUORIX_CLI_COMMAND="$cli" "$host/tests/cli/$t" --gtest_brief=1 2>&1 | tee -a "$cli_log"
done

# Test counts: every GoogleTest program of the target prints its own.
passed=$(grep -ho '\[  PASSED  \] [0-9]* test' "$dir"/Testing/Temporary/LastTest.log | awk '{s += $4} END {print s + 0}')
accepted=$(grep -ho '\[  PASSED  \] [0-9]* test' "$cli_log" | awk '{s += $4} END {print s + 0}')
echo "cross $target: $passed tests of the target's test programs passed; $accepted of the command line's acceptance"
