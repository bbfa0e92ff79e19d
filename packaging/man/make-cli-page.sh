#!/usr/bin/env bash
# Writes the man page quorix-cli(1) from the program's own --help texts with
# help2man: the top level as help2man reads it, then each subcommand's help
# (one level of nesting below it too) in a SUBCOMMANDS section, so that the
# page cannot drift from the program.
#   make-cli-page.sh QUORIX_CLI VERSION INCLUDE.h2m OUTPUT.1
# QUORIX_CLI is the program, or a script of that name that starts another
# machine's program under its emulator (packaging/CMakeLists.txt).
set -euo pipefail
cli=$1 version=$2 include=$3 output=$4

# help2man and the loops below read the help through the shell, which runs
# a program it cannot execute (another machine's, without its emulator) as
# a shell script: the page would hold its complaints and no subcommands.
if ! "$cli" --version >/dev/null; then
  echo "make-cli-page.sh: $cli does not run here" >&2
  exit 1
fi

subcommands() {  # the entries of the "Subcommands:" section of "$cli $@ --help"
  "$cli" "$@" --help | awk '/^[^ ]/ { inside = ($0 == "Subcommands:"); next } inside && /^  [^ ]/ { print $1 }'
}
verbatim() {  # help text as roff that keeps its lines and characters
  printf '.nf\n'
  sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/" -e 's/-/\\-/g'
  printf '.fi\n'
}

extra=$(mktemp)
trap 'rm -f "$extra"' EXIT
{
  cat "$include"
  printf '\n[SUBCOMMANDS]\n'
  for sub in $(subcommands); do
    printf '.SS "%s"\n' "$sub"
    "$cli" "$sub" --help | verbatim
    for inner in $(subcommands "$sub"); do
      printf '.SS "%s %s"\n' "$sub" "$inner"
      "$cli" "$sub" "$inner" --help | verbatim
    done
  done
} >"$extra"

help2man --no-info --no-discard-stderr --version-string="$version" --section=1 \
  --source="Quorix" --manual="User Commands" --include="$extra" --output="$output" "$cli"
