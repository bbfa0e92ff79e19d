#!/usr/bin/env bash
# Checks the Debian packages as a user meets them, on a machine where Quorix
# was never built (CI runs it in a bare root made by scripts/fresh-root.sh).
# Each package is installed alone (apt-get install ./PACKAGE.deb pulls in
# what it needs), checked as a normal user, and removed, leaving nothing of
# it in /usr:
#   quorix-cli: quorix-cli solve prints the nine results, man quorix-cli
#     renders, and it brought no Qt library;
#   python3-quorix: the package gives the default case's DE, and it brought
#     no Qt library;
#   quorix: the window starts and a Loop writes
#     ~/.local/share/Quorix/results.out, and man quorix renders.
# Needs root. Usage: bash scripts/package-check.sh [FOLDER of the three .debs]
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
from=$(realpath "${1:-.}")
deb_of() { local debs=("$from/$1"_*_amd64.deb); echo "${debs[0]}"; }
# Outputs are read whole before they are matched: grep -q ending a pipe
# early would fail it under pipefail (status 141).
renders() { local page; page=$(as_user man -P cat "$1" 2>/dev/null) && grep -q "$2" <<<"$page"; }
user=quorix-user
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }
as_user() { runuser -u "$user" -- env -i HOME="/home/$user" USER="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# The check's own tooling first (a virtual X server, a key sender, the
# manual reader), so that what each package brings can be told apart.
apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils xdotool man-db >/dev/null
id "$user" >/dev/null 2>&1 || useradd --create-home "$user"

# Installs the package alone and prints the packages the install brought.
install_alone() {
  local before after
  before=$(dpkg-query -W -f '${Package}\n' | sort)
  apt-get install -y -qq "$(deb_of "$1")" >/dev/null
  after=$(dpkg-query -W -f '${Package}\n' | sort)
  comm -13 <(echo "$before") <(echo "$after")
}
# Removes the package with what it brought, and checks that nothing of it
# is left in /usr.
remove_alone() {
  apt-get purge -y -qq --autoremove "$1" >/dev/null
  local left
  left=$(find /usr -iname '*quorix*' 2>/dev/null || true)
  [[ -z $left ]] || fail "after apt-get purge $1, these remain:"$'\n'"$left"
  echo "package-check: apt-get purge $1 leaves nothing in /usr"
}
no_qt() {  # package, what it brought
  local qt
  qt=$(grep -iE '^(libqt|qt6)' <<<"$2" || true)
  [[ -z $qt ]] || fail "installing $1 brought Qt:"$'\n'"$qt"
  echo "package-check: $1 brought $(wc -l <<<"$2") packages, none of Qt"
}

brought=$(install_alone quorix-cli)
echo "package-check: installed quorix-cli alone"
no_qt quorix-cli "$brought"
out=$(as_user quorix-cli solve)
for caption in "Za :" "Fha :" "Fela :" "Fa :" "Kcd\* :" "Kda\* :" "DE/(Fy Uy) :" "DE/(Fh Uy) :" "DE :"; do
  grep -q "^ *$caption" <<<"$out" || fail "quorix-cli solve printed no '$caption' line:"$'\n'"$out"
done
echo "package-check: quorix-cli solve prints the nine results"
renders quorix-cli "SUBCOMMANDS" || fail "man quorix-cli does not render"
echo "package-check: man quorix-cli renders"
remove_alone quorix-cli

brought=$(install_alone python3-quorix)
echo "package-check: installed python3-quorix alone"
no_qt python3-quorix "$brought"
de=$(as_user /usr/bin/python3 -c "import quorix; print(quorix.solve().DE)")
[[ $de == 0.2092122455083611 ]] || fail "the Python package gave DE = $de"
echo "package-check: python3 -c 'import quorix; print(quorix.solve().DE)' prints $de"
remove_alone python3-quorix

install_alone quorix >/dev/null
echo "package-check: installed quorix alone"
# The window: wait for it, press Loop (the last control in the tab order, so
# one Shift+Tab from the first field reaches it), wait for the results file.
results=/home/$user/.local/share/Quorix/results.out
as_user xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  quorix & pid=$!
  for ((t = 0; t < 60; t++)); do
    win=$(xdotool search --name "^Quorix : Bouc-Wen Dissipated Energy$" 2>/dev/null | head -1)
    [[ -n $win ]] && break
    sleep 0.5
  done
  [[ -n $win ]] || { echo "no window" >&2; kill $pid; exit 1; }
  sleep 1
  xdotool windowfocus --sync "$win"  # no window manager: focus directly
  xdotool key --clearmodifiers shift+Tab space
  for ((t = 0; t < 60; t++)); do
    [[ -s "$1" ]] && [[ $(grep -c . "$1") -ge 101 ]] && break
    sleep 0.5
  done
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
  true' check "$results"
[[ -s $results ]] || fail "the window's Loop wrote no $results"
rows=$(($(wc -l <"$results") - 1))
[[ $rows -eq 100 ]] || fail "$results has $rows rows, not the default sweep's 100"
echo "package-check: the window's Loop wrote $results ($rows rows)"

renders quorix "results.out" || fail "man quorix does not render"
echo "package-check: man quorix renders"
remove_alone quorix
echo "package-check: all checks passed"
