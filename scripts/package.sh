#!/usr/bin/env bash
# Builds the Debian package quorix_<version>_amd64.deb in the repository's
# top folder, and checks it with lintian, desktop-file-validate and
# appstreamcli. Installs the tools it needs first (scripts/deps.sh package).
#   bash scripts/package.sh            then: sudo apt install ./quorix_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package

# Debian's build flags (hardening, optimisation), with Quorix's own
# arithmetic flags added by its CMakeLists. quorix-cli is linked against the
# shared libraries, as Debian's policy wants.
export CPPFLAGS="$(dpkg-buildflags --get CPPFLAGS)"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
dir=build/package
rm -rf "$dir/_CPack_Packages" "$dir/CMakeCache.txt"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUORIX_TESTS=OFF -DQUORIX_BENCH=OFF -DQUORIX_STATIC_CLI=OFF -DQUORIX_PYTHON=ON -DQUORIX_PYTHON_INSTALL_DIR:STRING=lib/python3/dist-packages >/dev/null
cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/quorix_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/quorix_*_amd64.deb)
rm -f quorix_*.deb
cp "$deb" .
deb=$(basename "$deb")

echo "== $deb: $(du -k "$deb" | cut -f1) KiB"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$'

echo "== checks"
# Errors fail the package; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
desktop-file-validate "$tmp"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$tmp"/usr/share/metainfo/*.metainfo.xml
echo "package.sh: $deb built and checked"
