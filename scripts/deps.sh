#!/usr/bin/env bash
# Installs the Debian packages that Quorix needs and that are not installed
# yet, with apt-get (as root, or through sudo). Each group is checked on a
# bare Debian bookworm root (scripts/fresh-root.sh): it holds what that use
# needs, and nothing more.
#   scripts/deps.sh build     compile and start the window
#   scripts/deps.sh test      build, plus everything the tests use
#   scripts/deps.sh window    a virtual X server and xwininfo (scripts/window-check.sh)
#   scripts/deps.sh package   build, plus the tools that make and check the .deb
#   scripts/deps.sh bench     test, plus GSL for the benchmarks' peers and hyperfine for bench/process_bench.sh
#   scripts/deps.sh cross-arm64|cross-windows|cross-wasm
#                             a build for another machine (scripts/cross.sh)
#   scripts/deps.sh package-arm64|package-windows
#                             the command line's package for another machine
#                             (scripts/package-cross.sh); package-arm64 adds
#                             Debian's arm64 architecture to dpkg
#   scripts/deps.sh web       the page: its engine built with emscripten, its
#                             chart library from npm, Python's server (scripts/web.sh)
#   scripts/deps.sh web-test  web, plus chromium and the native quorix-cli's
#                             build for the page's browser tests (scripts/web-test.sh)
set -euo pipefail

group=${1:-build}

# The compiler and build tools; Qt 6 with Charts and SVG; CLI11; Eigen
# (header-only), whose Levenberg-Marquardt fits the model to measured records;
# fast_float and {fmt}, header-only, which read and write the number texts
# (src/decimal).
# qt6-charts-dev only recommends libqt6opengl6-dev, yet Qt Charts' CMake
# package needs Qt OpenGL's. The window needs the platform plugins (only
# recommended by Qt GUI) and at least one font, which a bare system lacks;
# xdg-utils gives xdg-open, which opens results.out in the text viewer.
build=(g++ cmake ninja-build pkg-config libcli11-dev qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-svg-dev
  libqt6opengl6-dev libgl-dev qt6-qpa-plugins fonts-dejavu-core xdg-utils libeigen3-dev libfast-float-dev libfmt-dev)
# Virtual X server for the window's tests and the window check.
window=(xvfb xauth x11-utils)
# GoogleTest and Google Benchmark, and Xlib for the window's start-up
# benchmark; the comma-decimal locale of the number-text tests; the Python
# package's headers, pybind11, numpy and pytest, the array types its ufunc
# is tested with (pandas, xarray, Dask) and venv for the installed package's
# check (scripts/python-package-check.sh); clang with libFuzzer and
# its sanitizer runtimes for the fuzzing harnesses, and a JSON parser that
# checks the command line's JSON there; ccache, through which the pip build
# of the Python package and the Debian packages take the release build's
# objects, and dpkg-dev for Debian's build flags, which that build uses.
test=(libgtest-dev libgmock-dev libbenchmark-dev libx11-dev locales
  python3-dev pybind11-dev python3-numpy python3-pytest python3-pandas python3-xarray python3-dask python3-venv
  clang libfuzzer-14-dev libclang-rt-14-dev nlohmann-json3-dev ccache dpkg-dev)
# The Debian package: dpkg-shlibdeps and the checks of what it installs.
package=(dpkg-dev file lintian appstream desktop-file-utils help2man python3-dev pybind11-dev python3-numpy)

# GSL for the peers the benchmarks time Quorix against (bench/CMakeLists.txt
# leaves them out without it); whole-process timings of bench/process_bench.sh;
# scipy for the loop of scipy.special evaluations bench/python times the
# accurate mode against.
bench=(libgsl-dev hyperfine python3-scipy)

# Builds for other machines (scripts/cross.sh): the command line's
# acceptance is built for this machine (compiler, CLI11, GoogleTest), the
# target's test programs with GoogleTest from Debian's sources; each target
# its cross compiler and an emulator to run what it built. arm64 is
# compiled with Debian's flags (dpkg-buildflags) through ccache, whose
# objects its package's build then takes.
cross=(g++ cmake ninja-build pkg-config libcli11-dev libeigen3-dev libfast-float-dev libfmt-dev nlohmann-json3-dev
  libgtest-dev googletest)
cross_arm64=(g++-aarch64-linux-gnu qemu-user-static dpkg-dev ccache)
# Windows and WebAssembly: glibc-source, the sources of Linux's C library,
# whose exp, log, pow, sin, tan, expm1 and log1p their builds compile in
# (cmake/libm.cmake), so that they compute them as Linux does.
cross_windows=(g++-mingw-w64-x86-64 wine wine64 glibc-source)
cross_wasm=(emscripten nodejs glibc-source)

# The command line's packages for other machines (scripts/package-cross.sh):
# the cross compiler and the header-only libraries, no tests. The arm64 .deb is
# made as the amd64 one is (dpkg-dev, file, help2man, lintian), its man page
# from the program run under qemu, and its Depends computed by
# dpkg-shlibdeps from the arm64 C++ library of Debian's multiarch, which
# names the package a target machine has (libstdc++6), not the cross
# compiler's copy. The Windows zip is checked by unzipping it and starting
# the program under Wine.
package_cross=(cmake ninja-build libcli11-dev libeigen3-dev libfast-float-dev libfmt-dev)
package_arm64=(g++-aarch64-linux-gnu qemu-user-static dpkg-dev file help2man lintian libstdc++6:arm64 ccache)
package_windows=(g++-mingw-w64-x86-64 zip unzip wine wine64 glibc-source)

# The page (scripts/web.sh): the engine as WebAssembly with Debian's
# emscripten and the header-only libraries of the command line it runs (no
# tests: no GoogleTest), npm for the chart library the page pins, Python's
# http.server to serve it.
web=(emscripten nodejs npm python3 cmake ninja-build libcli11-dev libeigen3-dev libfast-float-dev libfmt-dev glibc-source)
# The page's browser tests (scripts/web-test.sh): Debian's chromium, which
# Playwright drives (its own browser downloads are not used), a font for
# the text chromium draws into the plots' PNGs, and the compiler for the
# native quorix-cli that gives the tests their expected values.
web_test=(chromium fonts-dejavu-core g++)

case "$group" in
  build) packages=("${build[@]}") ;;
  bench) packages=("${build[@]}" "${window[@]}" "${test[@]}" "${bench[@]}") ;;
  test) packages=("${build[@]}" "${window[@]}" "${test[@]}") ;;
  window) packages=("${window[@]}") ;;
  package) packages=("${build[@]}" "${package[@]}") ;;
  cross-arm64) packages=("${cross[@]}" "${cross_arm64[@]}") ;;
  cross-windows) packages=("${cross[@]}" "${cross_windows[@]}") ;;
  cross-wasm) packages=("${cross[@]}" "${cross_wasm[@]}") ;;
  package-arm64) packages=("${package_cross[@]}" "${package_arm64[@]}") ;;
  package-windows) packages=("${package_cross[@]}" "${package_windows[@]}") ;;
  web) packages=("${web[@]}") ;;
  web-test) packages=("${web[@]}" "${web_test[@]}") ;;
  *) echo "usage: scripts/deps.sh build|test|window|package|bench|cross-arm64|cross-windows|cross-wasm|package-arm64|package-windows|web|web-test" >&2
     exit 2 ;;
esac

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"

# Packages of another architecture (name:arm64) come from Debian's
# multiarch: dpkg must know the architecture, and apt its package lists,
# before they can be installed. apt-get update runs below, as something is
# then missing.
if [[ "$group" == package-arm64 && " $(dpkg --print-foreign-architectures | tr '\n' ' ') " != *" arm64 "* ]]; then
  $sudo dpkg --add-architecture arm64
fi

# A name that an installed package provides counts as installed: a
# Node.js from NodeSource provides npm (and conflicts with Debian's), and
# asking apt for it would fail.
# (The list is read whole first: grep -q ending a pipe early fails it under pipefail.)
provided() {
  local installed
  installed=$(dpkg-query -W -f='${Status} ${Provides}\n' 2>/dev/null | grep '^install ok installed' || true)
  grep -qE "[ ,]$1([ ,(]|\$)" <<<"$installed"
}
missing=()
for p in "${packages[@]}"; do
  [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) == *"install ok installed"* ]] || provided "$p" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The number-text tests check that a comma-decimal locale changes nothing.
if [[ "$group" == test || "$group" == bench ]] && ! grep -qi '^de_DE\.utf-\?8$' <<<"$(locale -a 2>/dev/null)"; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
