#!/usr/bin/env bash
# Installs the Debian packages Quorix needs that are not installed yet.
#   scripts/deps.sh build   compilers, CMake, Qt (with Charts and SVG), CLI11, the text viewer launcher
#   scripts/deps.sh test    the above, plus GoogleTest, Google Benchmark, Xvfb, and
#                           Python's development files, pybind11, numpy and pytest
#                           for the Python module and its tests
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libcli11-dev qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-svg-dev
  libgl-dev xdg-utils)
if [[ "${1:-build}" == test ]]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev libgsl-dev xvfb xauth x11-utils locales
    python3-dev pybind11-dev python3-numpy python3-pytest)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The number-text tests check that a comma-decimal locale changes nothing.
if [[ "${1:-build}" == test ]] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8; those tests will be skipped"
fi
