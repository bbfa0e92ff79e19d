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
    inside && /^  [^ ]/ && !seen[$1]++ { print $1 }'
}

# The value's form in OPTION's entry of `quorix-cli WORDS... --help`
# ("TEXT", "FLOAT=0", "TEXT:{opensees,all,none}=none"), nothing for a flag.
_quorix_cli_value_form() {
  local option=$1
  shift
  quorix-cli "$@" --help 2>/dev/null | awk -v option="$option" '
    /^  [^ ]/ {
      n = split($1, names, ",")
      for (i = 1; i <= n; i++) if (names[i] == option && $2 ~ /^[A-Z]+([:=]|$)/) { print $2; exit }
    }'
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

  # After an option that takes a value: its values where the help lists
  # them ({a,b,c}), a file name for -o, else nothing (a number or a column
  # is typed, not a file chosen).
  if [[ $prev == -* ]]; then
    local form
    form=$(_quorix_cli_value_form "$prev" "${path[@]}")
    if [[ -n $form ]]; then
      if [[ $form =~ \{([^}]*)\} ]]; then
        COMPREPLY=($(compgen -W "${BASH_REMATCH[1]//,/ }" -- "$cur"))
      elif [[ $prev == -o || $prev == --output ]]; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
      fi
      return
    fi
  fi
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_quorix_cli_help_section "Options:" "${path[@]}" | tr ',' ' ')" -- "$cur"))
    return
  fi
  subcommands=$(_quorix_cli_help_section "Subcommands:" "${path[@]}")
  if [[ -n $subcommands ]]; then
    COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
  else
    case ${path[-1]-} in
      cycles | fit | response | verify)  # the record's file, their only operand
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
  fi
}
complete -F _quorix_cli quorix-cli
