#!/usr/bin/env bash
# Builds the Debian packages quorix (the window), quorix-cli and
# python3-quorix, <name>_<version>_amd64.deb in the repository's top folder,
# and checks them with lintian, desktop-file-validate and appstreamcli.
# Installs the tools it needs first (scripts/deps.sh package).
#   bash scripts/package.sh   then: sudo apt install ./quorix-cli_*.deb (or any of them)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package

# Debian's build flags (scripts/debian-flags.sh). quorix-cli is linked
# against the shared libraries, as Debian's policy wants.
source scripts/debian-flags.sh
debian_flags
# Where scripts/test.sh ran first, its release build compiled the same
# sources with the same flags through ccache: the objects come from there.
if command -v ccache >/dev/null; then
  export CCACHE_DIR=$PWD/build/ccache CCACHE_BASEDIR=$PWD CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
dir=build/package
rm -rf "$dir/_CPack_Packages" "$dir/CMakeCache.txt"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUORIX_TESTS=OFF -DQUORIX_BENCH=OFF -DQUORIX_STATIC_CLI=OFF -DQUORIX_PYTHON=ON -DQUORIX_PYTHON_INSTALL_DIR:STRING=lib/python3/dist-packages >/dev/null
cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
rm -f ./*quorix*_amd64.deb
debs=()
for name in quorix quorix-cli python3-quorix; do
  deb=$(ls "$dir"/${name}_*_amd64.deb)
  cp "$deb" .
  debs+=("$(basename "$deb")")
done

for deb in "${debs[@]}"; do
  echo "== $deb: $(du -k "$deb" | cut -f1) KiB"
  dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
  dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$'
done

echo "== checks"
# Errors fail the packages; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "${debs[@]}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "${debs[0]}" "$tmp"
desktop-file-validate "$tmp"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$tmp"/usr/share/metainfo/*.metainfo.xml
echo "package.sh: ${debs[*]} built and checked"
