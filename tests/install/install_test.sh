#!/usr/bin/env bash
# The installed copy. Installs the build into a staging prefix with DESTDIR,
# makes a read-only copy of that prefix and runs the copy's tarnlow-cli
# against the sample site with HOME and XDG_DATA_HOME in a temporary folder:
# the user files and the book must land under the XDG folder, made from the
# shipped defaults, and nothing may be written into the copy. The writable
# staging prefix must behave the same (an install its user may write: root
# on /usr, a prefix in the home folder). Then --help, the manual page and the
# bash completion must name the same commands and options.
# Usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2

work=$(mktemp -d)
site=""
cleanup() {
  if [ -n "$site" ]; then
    kill "$site" 2>/dev/null || true
    wait "$site" 2>/dev/null || true
  fi
  chmod -R u+w "$work"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  fail "cmake --install failed"
fi
stage="$work/stage/usr"
copy="$work/copy"
cp -a "$stage" "$copy"
chmod -R a-w "$copy"
listing() { (cd "$1" && find . -printf '%p %s %T@ %l\n' | LC_ALL=C sort); }
cli="$copy/bin/tarnlow-cli"

[ "$("$cli" --version)" = "tarnlow-cli $version" ] || fail "--version printed '$("$cli" --version)'"

"$build/bin/tarnlow-sample-site" >"$work/site.out" &
site=$!
address=""
for _ in $(seq 1 200); do
  address=$(head -n 1 "$work/site.out")
  [ -n "$address" ] && break
  sleep 0.05
done
[ -n "$address" ] || fail "the sample site did not start"

export HOME="$work/home"
mkdir "$HOME"
for prefix in "$copy" "$stage"; do
  export XDG_DATA_HOME="$work/data-${prefix##*/}"
  before=$(listing "$prefix")
  printed=$("$prefix/bin/tarnlow-cli" get --delay 1 "$address" 2>"$work/get.err") || {
    cat "$work/get.err" >&2
    fail "tarnlow-cli get failed from $prefix"
  }
  data="$XDG_DATA_HOME/tarnlow"
  book="$data/Download/灯塔守夜人.txt"
  [ "$printed" = "$book" ] || fail "get printed '$printed', not '$book'"
  text=$(iconv -f GBK -t UTF-8 "$book") || fail "no GBK book at $book"
  grep -q "第五章" <<<"$text" || fail "the book lacks its last chapter"
  # The advertising line goes only when the shipped rules were copied and read.
  if grep -q "本站域名" <<<"$text"; then fail "the shipped clean rules were not applied"; fi
  cmp -s "$data/cleantxt.list" "$prefix/share/tarnlow/cleantxt.list" || fail "cleantxt.list differs"
  [ -s "$data/log.log" ] || fail "no log.log in $data"
  [ "$before" = "$(listing "$prefix")" ] || fail "the program wrote into $prefix"
  [ -z "$(ls -A "$HOME")" ] || fail "files appeared in HOME beside XDG_DATA_HOME: $(ls -A "$HOME")"
done

# --help, the manual page and the completion tell the same commands and options.
help=$("$cli" --help)
options=$(grep -E '^  --' <<<"$help" | grep -oE -- '--[a-z][a-z-]*' | LC_ALL=C sort -u)
commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | grep -oE '^  [a-z]+' | tr -d ' ' | LC_ALL=C sort)
if [ "$(wc -w <<<"$options")" -le 10 ] || [ "$(wc -w <<<"$commands")" -ne 6 ]; then
  fail "could not read the options and commands from --help"
fi
manual=$(gzip -dc "$copy/share/man/man1/tarnlow-cli.1.gz" | sed 's/\\-/-/g')
manOptions=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' <<<"$manual")
manCommands=$(sed -n '/^\.SH COMMANDS/,/^\.SH /p' <<<"$manual")
for option in $options; do
  grep -qF -- "$option" <<<"$manOptions" || fail "the manual page lacks $option"
done
for command in $commands; do
  grep -qE "^\.B[IR]? $command( |$)" <<<"$manCommands" || fail "the manual page lacks $command"
done
completions() {
  # shellcheck source=/dev/null
  source "$copy/share/bash-completion/completions/tarnlow-cli"
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  _tarnlow_cli
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}
[ "$(completions tarnlow-cli --)" = "$options" ] || fail "completion offers other options"
[ "$(completions tarnlow-cli --delay 5 "")" = "$commands" ] || fail "completion offers other commands"
