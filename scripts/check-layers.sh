#!/usr/bin/env bash
# Checks that the rooms of src/ depend one way. Every #include "…" of every
# file under src/ is resolved to the room (the folder under src/) whose file
# it names, and a room may include only its own headers, the headers of the
# rooms before it in this order, and those of the platform and decimal:
#
#   specialfunctions → solver → exact → accurate → response → measured → commands
#     → material → verify, isolation → the faces: cli, python, look → about
#     → plots → mainwindow → startup; web (the page's engine, src/web) on cli
#
# The platform and decimal (the number texts of doubles) stand beside them
# all: every room may use them, and they use no other room, not even each
# other. Below everything lies refusal (the one type of a refused input):
# every room may use it, and it uses none. verify and isolation share a rank, as do cli, python and look:
# rooms of one rank may not include
# one another. A folder of src/ that is not in the table fails the check, so
# a new room has to be given its place.
#
#   scripts/check-layers.sh            checks src/ of this tree
#   scripts/check-layers.sh DIR        checks DIR (a tree with src/)
# Exit status 0 when every include points down or sideways to the platform or
# decimal,
# 1 (with each offending line) otherwise.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root/src"

declare -A rank=(
  [refusal]=0 [platform]=0 [decimal]=0
  [specialfunctions]=1 [solver]=2 [exact]=3 [accurate]=4 [response]=5 [measured]=6 [commands]=7 [material]=8
  [verify]=9 [isolation]=9 [cli]=10 [python]=10 [look]=10 [about]=11 [web]=11 [plots]=12 [mainwindow]=13 [startup]=14
)

files=$(find . -type f -printf '%P\n' | sort)
status=0
fail() {
  echo "check-layers: $*" >&2
  status=1
}

for dir in */; do
  room=${dir%/}
  [[ -n ${rank[$room]+x} ]] || fail "src/$room is not in the order of the rooms (add it to scripts/check-layers.sh and the README)"
done

# The room of the file an include names, or "" when no file of src/ has that
# name. Looked up as the compiler does: beside the including file first,
# then among the rooms' files with that path.
room_of() {  # including file, included path
  local here target
  here=$(dirname "$1")
  if [[ -f "$here/$2" ]]; then
    target=$(realpath --relative-to=. "$here/$2")
    echo "${target%%/*}"
    return
  fi
  local -a found=()
  mapfile -t found < <(grep -F -- "/$2" <<<"$files" | grep -x -- ".*/${2//./\\.}" || true)
  if ((${#found[@]} == 0)); then
    # A header the build writes from a template beside it.
    if [[ -f "$here/$2.in" ]]; then echo "${1%%/*}"; fi
    return
  fi
  local rooms
  rooms=$(printf '%s\n' "${found[@]}" | cut -d/ -f1 | sort -u)
  if [[ $(wc -l <<<"$rooms") -gt 1 ]]; then
    # The same name in several rooms: the including room's own wins, as
    # its include path comes first; anything else is ambiguous.
    if grep -qx "${1%%/*}" <<<"$rooms"; then echo "${1%%/*}"; else echo "ambiguous:$(tr '\n' ' ' <<<"$rooms")"; fi
    return
  fi
  echo "$rooms"
}

# Every include line of src/ at once, as file:line:text.
includes=$(grep -rnE --include='*.h' --include='*.cpp' --include='*.c' --include='*.xpm' \
  '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' . | sed 's|^\./||' | sort -t: -k1,1 -k2,2n || true)
declare -A cache=()
while IFS=: read -r file lineno line; do
  [[ -n $file ]] || continue
  room=${file%%/*}
  [[ -n ${rank[$room]+x} ]] || continue
  [[ $line =~ \"([^\"]+)\" ]] || continue
  header=${BASH_REMATCH[1]}
  key="$(dirname "$file")|$header"
  [[ -n ${cache[$key]+x} ]] || cache[$key]=$(room_of "$file" "$header")
  to=${cache[$key]}
  where="src/$file:$lineno: #include \"$header\""
  if [[ -z $to ]]; then
    fail "$where names no file of src/"
  elif [[ $to == ambiguous:* ]]; then
    fail "$where is found in several rooms: ${to#ambiguous:}"
  elif [[ $to == "$room" ]]; then
    :
  elif [[ $room == refusal ]]; then
    fail "$where: refusal uses no other room, yet this is $to's"
  elif [[ $to == refusal ]]; then
    :
  elif [[ $room == platform || $room == decimal ]]; then
    fail "$where: $room uses no other room, yet this is $to's"
  elif [[ $to == platform ]]; then
    :
  elif [[ -z ${rank[$to]+x} ]]; then
    fail "$where: $to is not in the order of the rooms"
  elif ((rank[$to] >= rank[$room])); then
    fail "$where: $room may not include a header of $to, which is not below it"
  fi
done <<<"$includes"

if ((status == 0)); then
  echo "check-layers: every include of src/ points down the order of the rooms"
fi
exit $status
