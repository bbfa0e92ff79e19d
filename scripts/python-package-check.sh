#!/usr/bin/env bash
# The Python package as pip installs it: a fresh virtual environment of
# Debian's /usr/bin/python3 that sees Debian's numpy, pandas, xarray, Dask
# and pytest (--system-site-packages), `pip install .` offline through the
# project's CMake (pyproject.toml), then the Python tests run from a folder
# outside the sources, so that they import the installed package, with
# quorix-cli for the comparisons.
#   QUORIX_CLI   the quorix-cli to compare with (default: build/release's,
#                built in build/wheel when there is none)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --quiet --no-build-isolation --no-index "$root"

cli=${QUORIX_CLI:-$root/build/release/src/cli/quorix-cli}
if [[ ! -x $cli ]]; then
  cmake --build build/wheel --target quorix-cli -j 2 >/dev/null
  cli=$root/build/wheel/src/cli/quorix-cli
fi

cp -r tests/python "$work/tests"
cd "$work"
where=$("$work/venv/bin/python" -c 'import quorix; print(quorix.__file__)')
[[ $where == "$work/venv/"* ]] || { echo "python-package-check: imported $where, not the installed package" >&2; exit 1; }
echo "python-package-check: quorix imported from $where"
QUORIX_CLI=$cli QUORIX_SOURCE=$root PYTHONDONTWRITEBYTECODE=1 \
  "$work/venv/bin/python" -m pytest -q -p no:cacheprovider tests
