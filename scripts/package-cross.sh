#!/usr/bin/env bash
# Builds the command line's package for another machine in the repository's
# top folder, and checks it:
#   scripts/package-cross.sh arm64     quorix-cli_<version>_arm64.deb, Debian on 64-bit ARM:
#                                      linked against Debian's arm64 libraries, its Depends
#                                      from dpkg-shlibdeps, its man page from the program run
#                                      under qemu-aarch64-static; checked with lintian
#   scripts/package-cross.sh windows   quorix-cli-<version>-windows-x86_64.zip: quorix-cli.exe
#                                      (statically linked, stripped), LICENSE.txt, README.txt;
#                                      unzipped and started under Wine
# Installs the tools it needs first (scripts/deps.sh package-<target>).
# Builds in build/package-<target> (tests, window, Python and benchmarks
# off); the zip takes the program of build/windows where that exists.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-}
here=$PWD
jobs=$(nproc)

case "$target" in
  arm64 | windows) ;;
  *) echo "usage: scripts/package-cross.sh arm64|windows" >&2; exit 2 ;;
esac
bash scripts/deps.sh "package-$target"

dir="build/package-$target"
common=(-S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
  -DQUORIX_TESTS=OFF -DQUORIX_GUI=OFF -DQUORIX_PYTHON=OFF -DQUORIX_BENCH=OFF)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [[ "$target" == arm64 ]]; then
  # Debian's build flags for arm64 (hardening, optimisation), with Quorix's
  # own arithmetic flags added by its CMakeLists. The toolchain links every
  # program statically, for its tests under qemu; a Debian package links
  # the shared libraries, as Debian's policy wants, so both switches are off.
  # (The tests' build, scripts/cross.sh arm64, stays static: under qemu a
  # dynamically linked test program of the special functions ran over a
  # hundred times slower than the same program linked statically.)
  source scripts/debian-flags.sh
  debian_flags arm64
  # The objects of scripts/cross.sh arm64, which compiles the same sources
  # with the same flags through ccache, where it ran first.
  if command -v ccache >/dev/null; then
    export CCACHE_DIR=$here/build/ccache-arm64 CCACHE_BASEDIR=$here CMAKE_CXX_COMPILER_LAUNCHER=ccache
  fi
  rm -rf "$dir/_CPack_Packages" "$dir/CMakeCache.txt"
  cmake "${common[@]}" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/aarch64-linux-gnu.cmake" \
    -DCMAKE_INSTALL_PREFIX=/usr -DQUORIX_STATIC_PROGRAMS=OFF -DQUORIX_STATIC_CLI=OFF >/dev/null
  cmake --build "$dir" -j "$jobs"
  rm -f "$dir"/*.deb
  # The .deb's architecture and dpkg-shlibdeps' view of arm64 come from the
  # build itself (packaging/CMakeLists.txt).
  (cd "$dir" && cpack -G DEB >/dev/null)
  src=$(ls "$dir"/quorix-cli_*_arm64.deb)
  deb=$(basename "$src")
  rm -f ./quorix-cli_*_arm64.deb
  cp "$src" .

  echo "== $deb: $(du -k "$deb" | cut -f1) KiB"
  dpkg-deb --field "$deb"
  dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$'
  echo "== checks"
  # Errors fail the package; warnings are shown.
  lintian --fail-on error --tag-display-limit 0 "$deb"
  [[ $(dpkg-deb --field "$deb" Architecture) == arm64 ]]
  # Depends must name the packages of an arm64 machine, not the cross
  # compiler's (libc6-arm64-cross and the like).
  depends=$(dpkg-deb --field "$deb" Depends)
  if [[ "$depends" != *libstdc++6* || "$depends" == *-cross* ]]; then
    echo "package-cross: unexpected Depends: $depends" >&2
    exit 1
  fi
  dpkg-deb -x "$deb" "$tmp"
  cli="$tmp/usr/bin/quorix-cli"
  file -b "$cli"
  aarch64-linux-gnu-readelf -d "$cli" | grep NEEDED
  # The man page holds the subcommands' help, which only a program that ran
  # under qemu gives.
  # (Read whole first: grep -q ending the pipe early fails it under pipefail.)
  man_page=$(zcat "$tmp/usr/share/man/man1/quorix-cli.1.gz")
  grep -q '^\.SS "solve"$' <<<"$man_page"
  # The packaged program, as an arm64 machine would run it. The loader and
  # the C library are the cross compiler's (qemu's -L), libstdc++ is found
  # in either place.
  run=(qemu-aarch64-static -L /usr/aarch64-linux-gnu "$cli")
  "${run[@]}" --version
  "${run[@]}" solve --json
  echo "package-cross.sh: $deb built and checked"
  exit 0
fi

# Windows: the program as the mingw-w64 toolchain links it, statically (no
# MinGW DLLs to ship beside it), stripped of its symbols.
version=$(sed -n 's/^project(Quorix VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
name="quorix-cli-$version-windows-x86_64"
# The program of the tests' build (scripts/cross.sh windows) where there is
# one: the same toolchain and flags.
if [[ -f build/windows/build.ninja ]]; then
  dir=build/windows
else
  rm -f "$dir/CMakeCache.txt"
  cmake "${common[@]}" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/x86_64-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$dir" -j "$jobs" --target quorix-cli
stage="$dir/zip"
rm -rf "$stage"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/quorix-cli.exe" "$dir/src/cli/quorix-cli.exe"
# The license as it stands, with the CR LF line ends of Windows text files,
# which every Windows viewer shows as lines (older Notepads run LF-only text
# into one line).
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
sed 's/$/\r/' >"$stage/README.txt" <<EOF
Quorix $version, command line for Windows on x86-64

quorix-cli.exe gives, in closed form, the energy that the Bouc-Wen
hysteretic model (A = 1, beta + gamma = 1) dissipates in one symmetric
displacement cycle, with the peak hysteretic value, the forces at the
amplitude and the loop integrals; it also reads measured cyclic records,
fits the model to them and gives its response along a displacement history.
It needs no installation and no other files: run it from a command prompt.

  quorix-cli.exe --help              the subcommands
  quorix-cli.exe solve --help        one subcommand's options
  quorix-cli.exe solve --gamma 0.9 --n 2 --alpha 0.1 --fy 2.86 --uy 0.111 --u 1
  quorix-cli.exe solve --json        the same case (the defaults) as JSON

Arguments are read as UTF-8 and the output is written as bytes, the same
as on Linux. Exit status: 0 success, 1 the command failed, 2 bad command
line.

Copyright 2026 The Quorix developers. Quorix is free software under the
GNU General Public License, version 3 or (at your option) any later
version, without any warranty; the license is in LICENSE.txt. Whoever
passes this program on conveys its source with it as the license's
section 6 says: the Quorix source tree of version $version.
EOF
rm -f "./$name.zip"
(cd "$stage" && zip -X -9 -q "$here/$name.zip" quorix-cli.exe LICENSE.txt README.txt)

echo "== $name.zip: $(du -k "$name.zip" | cut -f1) KiB"
unzip -l "$name.zip"
echo "== checks"
unzip -q "$name.zip" -d "$tmp"
# Only Windows' own DLLs: none of MinGW's runtimes, which a bare Windows
# lacks.
dlls=$(x86_64-w64-mingw32-objdump -p "$tmp/quorix-cli.exe" | awk '/DLL Name:/ {print $3}')
echo "$dlls"
if grep -qiE '^lib|stdc\+\+|winpthread' <<<"$dlls"; then
  echo "package-cross: quorix-cli.exe needs MinGW's DLLs" >&2
  exit 1
fi
source scripts/wine-session.sh
wine_session "$here/build/wine-prefix"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
shown=$(cd "$tmp" && wine quorix-cli.exe --version | tr -d '\r')
echo "$shown"
[[ "$shown" == "quorix-cli $version" ]]
(cd "$tmp" && wine quorix-cli.exe solve --json)
echo "package-cross.sh: $name.zip built and checked"
