# bash completion for tarnlow-cli

_tarnlow_cli() {
  local commands="fetch contents preview get batch update"
  local options="--home --list-begin --list-end --text-begin --text-end --name --download
    --threads --retry --delay --line-mode --name-format --next-page --clean-dubious
    --keep-dubious-with-marks --renumber --auto-list --auto-text --resume --back-off --help --version"
  local valued="--home|--list-begin|--list-end|--text-begin|--text-end|--name|--download"
  valued+="|--threads|--retry|--delay|--line-mode|--name-format|--next-page|--clean-dubious"
  valued+="|--keep-dubious-with-marks|--renumber|--auto-list|--auto-text|--resume|--back-off"

  local cur=${COMP_WORDS[COMP_CWORD]} prev=""
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # bash splits "--opt=value" at "=": the option then stands before the "=".
  if [[ $cur == "=" ]]; then
    cur=""
  elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  local values=""
  case $prev in
    --home | --download)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return
      ;;
    --threads) values="1 2 3 4 5 6 7 8 9" ;;
    --line-mode) values="0 1 2" ;;
    --name-format) values="0 1 2 3 4" ;;
    --next-page | --clean-dubious | --keep-dubious-with-marks | --renumber | --auto-list | --auto-text | \
      --resume | --back-off)
      values="0 1"
      ;;
    --list-begin | --list-end | --text-begin | --text-end | --name | --retry | --delay)
      COMPREPLY=()
      return
      ;;
  esac
  if [[ -n $values ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")
    return
  fi

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  # The first word that is neither an option nor an option's value is the
  # command; after it come addresses, which nothing can guess.
  local i word ended=""
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -z $ended && $word == "--" ]]; then
      ended=1
    elif [[ -z $ended && $word =~ ^($valued)$ ]]; then
      [[ ${COMP_WORDS[i + 1]} == "=" ]] && ((i++))
      ((i++))
    elif [[ -n $ended || $word != -* ]]; then
      COMPREPLY=()
      return
    fi
  done
  mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
}

complete -F _tarnlow_cli tarnlow-cli
