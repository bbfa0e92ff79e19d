# Bash completion for quorix-cli. The subcommands and options are read from
# the program's own --help at each level, so they always match the installed
# program.

# Prints the first field of each entry of one section ("Options:" or
# "Subcommands:") of `quorix-cli WORDS... --help`.
_quorix_cli_help_section() {
  local section=$1
  shift
  quorix-cli "$@" --help 2>/dev/null | awk -v section="$section" '
    /^[^ ]/ { inside = ($0 == section); next }
    inside && /^  [^ ]/ { print $1 }'
}

_quorix_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local path=() word i subcommands
  # The subcommand path typed so far: each word that names a subcommand of
  # the level before it.
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    [[ $word == -* ]] && continue
    subcommands=$(_quorix_cli_help_section "Subcommands:" "${path[@]}")
    grep -qxF -- "$word" <<<"$subcommands" && path+=("$word")
  done

  case $prev in
    -o | --output)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_quorix_cli_help_section "Options:" "${path[@]}" | tr ',' ' ')" -- "$cur"))
    return
  fi
  subcommands=$(_quorix_cli_help_section "Subcommands:" "${path[@]}")
  if [[ -n $subcommands ]]; then
    COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
  else
    case ${path[-1]-} in
      cycles | fit | response)  # the record's file, their only operand
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
  fi
}
complete -F _quorix_cli quorix-cli
