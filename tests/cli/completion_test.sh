#!/usr/bin/env bash
# The bash completion against the built quorix-cli: subcommands, a
# subcommand's options, and file names where a file goes.
# Usage: completion_test.sh QUORIX_CLI COMPLETION_FILE
set -uo pipefail
cli_dir=$(dirname "$1")
PATH="$cli_dir:$PATH"
# shellcheck source=/dev/null
source "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && touch record.csv results.tsv

failures=0
# complete WORDS... : COMPREPLY for the last word (the one being typed).
complete_words() {
  COMP_WORDS=(quorix-cli "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _quorix_cli
  ((${#COMPREPLY[@]} == 0)) || printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {  # expected-reply WORDS...
  local want=$1 got
  shift
  got=$(complete_words "$@")
  if [[ $got != "$want" ]]; then
    echo "quorix-cli $* <TAB>: got '$got', want '$want'"
    failures=$((failures + 1))
  fi
}

expect "solve " so
expect "solve sweep " s
expect "--samples --start --steady " fit --s
expect "record.csv " cycles rec
expect "record.csv results.tsv " fit --json re
expect "record.csv results.tsv " response r
expect "record.csv results.tsv " verify r
expect "results.tsv " sweep -o res
expect "" solve r
expect "isolation " isol
expect "at " isolation a
expect "aashto asce7 en1998 " isolation design --code ""
# After an option that takes a value: its listed values, else nothing (no file names).
expect "all csi-wen none opensees openseespy " solve --as ""
expect "normalised " solve --model n
expect "" fit --u-column ""
expect "" solve --n r
# Each option once, although the help wraps long lists of exclusions.
all=$(complete_words solve --)
[[ $(tr ' ' '\n' <<<"$all" | sort | uniq -d) == "" ]] || { echo "solve --: an option offered twice: $all"; failures=$((failures + 1)); }
exit $((failures > 0))
