#!/usr/bin/env bash
# Checks the Debian package as a user meets it, on a machine where Quorix
# was never built (CI runs it in a bare root made by scripts/fresh-root.sh):
#   apt-get install ./quorix_*.deb pulls in what the package needs; then, as
#   a normal user, quorix-cli solve prints the nine results, the Python
#   module gives the default case's DE, the window starts and a Loop writes
#   ~/.local/share/Quorix/results.out, and man quorix-cli renders;
#   apt-get remove quorix leaves nothing of it in /usr.
# Needs root. Usage: bash scripts/package-check.sh [quorix_VERSION_amd64.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls quorix_*_amd64.deb | head -1)}
user=quorix-user
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }
as_user() { runuser -u "$user" -- env -i HOME="/home/$user" USER="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# What the package itself pulls in comes with it; the rest is the check's
# own tooling (a virtual X server, a key sender, the manual reader).
apt-get install -y -qq "./$deb" >/dev/null
echo "package-check: installed $deb"
apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils xdotool man-db >/dev/null
id "$user" >/dev/null 2>&1 || useradd --create-home "$user"

out=$(as_user quorix-cli solve)
for caption in "Za :" "Fha :" "Fela :" "Fa :" "Kcd\* :" "Kda\* :" "DE/(Fy Uy) :" "DE/(Fh Uy) :" "DE :"; do
  grep -q "^ *$caption" <<<"$out" || fail "quorix-cli solve printed no '$caption' line:"$'\n'"$out"
done
echo "package-check: quorix-cli solve prints the nine results"

de=$(as_user /usr/bin/python3 -c "import quorix; print(quorix.solve().DE)")
[[ $de == 0.2092122455083611 ]] || fail "the Python module gave DE = $de"
echo "package-check: python3 -c 'import quorix; print(quorix.solve().DE)' prints $de"

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

as_user man -P cat quorix-cli 2>/dev/null | grep -q "SUBCOMMANDS" || fail "man quorix-cli does not render"
as_user man -P cat quorix 2>/dev/null | grep -q "results.out" || fail "man quorix does not render"
echo "package-check: man quorix-cli and man quorix render"

apt-get remove -y -qq quorix >/dev/null
left=$(find /usr -iname '*quorix*' 2>/dev/null || true)
[[ -z $left ]] || fail "after apt-get remove quorix, these remain:"$'\n'"$left"
echo "package-check: apt-get remove quorix leaves nothing in /usr"
echo "package-check: all checks passed"
