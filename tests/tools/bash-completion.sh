#!/usr/bin/env bash
# tessit-pack's bash completion, with bash-completion's helpers as bash
# loads it: the commands and each command's options are those the help
# lists, --target completes the targets the help names, -C folders only, a
# number nothing, and the other values and positionals files.
#   bash-completion.sh PACKER COMPLETION
set -uo pipefail
packer=$(readlink -f "$1")
completion=$2
work=$(mktemp -d /tmp/tessit-bash-completion.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# shellcheck source=/dev/null
. /usr/share/bash-completion/bash_completion || { echo "FAILED: bash-completion is not installed"; exit 1; }
# shellcheck source=/dev/null
. "$completion"
function=$(complete -p tessit-pack | sed -n 's/.* -F \([^ ]*\) .*/\1/p')
[ -n "$function" ] || { echo "FAILED: $completion sets no completion for tessit-pack"; exit 1; }

# What completing the last of WORDS offers, sorted, on one line. WORDS are
# split as bash splits a command line for completion ("--target=w" is
# "--target" "=" "w").
offered() {
  local COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE COMP_POINT COMPREPLY=()
  COMP_LINE=$(printf '%s' "${COMP_WORDS[@]/#/ }" | sed 's/^ //; s/ = /=/g')
  COMP_POINT=${#COMP_LINE}
  "$function" tessit-pack "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
}
sorted() { tr ' ' '\n' | sed '/^$/d' | LC_ALL=C sort -u | tr '\n' ' ' | sed 's/ $//'; }
# The option names a help text lists in its first column.
help_options() { awk '$1 ~ /^-/ { print $1 }' | tr ',' '\n' | sed 's/ .*//' | sorted; }

"$packer" --help >"$work/help"
commands=$(sed -n '/^Subcommands:$/,/^$/{/^  /s/^  \([^ ]*\).*/\1/p}' "$work/help" | sorted)
[ -n "$commands" ] || fail "tessit-pack --help lists no commands"
targets=$("$packer" build --help | grep -o 'TARGET:{[^}]*}' | sed 's/TARGET:{//; s/}//' | tr ',' ' ' | sorted)
[ -n "$targets" ] || fail "build --help names no targets"

files=$work/files
mkdir -p "$files/folder/inner" "$files/other"
touch "$files/file.txt" "$files/folder.txt"
cd "$files" || exit 1

# words (the last one completed; '' for an empty one) | what is offered
while IFS='|' read -r words expected; do
  eval "set -- $words"
  actual=$(offered "$@")
  [ "$actual" = "$expected" ] || fail "$words: offered \"$actual\", not \"$expected\""
done <<TABLE
tessit-pack ''|$commands
tessit-pack b|build
tessit-pack --|$(help_options <"$work/help" | tr ' ' '\n' | grep '^--' | sorted)
tessit-pack build --target ''|$targets
tessit-pack build --target = win|$(tr ' ' '\n' <<<"$targets" | grep '^win' | sorted)
tessit-pack build -o fo|folder folder.txt
tessit-pack build --launcher fi|file.txt
tessit-pack build --oem ''|
tessit-pack build --oem = ''|
tessit-pack build -l Tessit.exe -o out.exe fo|folder folder.txt
tessit-pack extract -C ''|folder other
tessit-pack extract --directory = fo|folder
tessit-pack extract ''|file.txt folder folder.txt other
tessit-pack list fo|folder folder.txt
tessit-pack --help build ''|file.txt folder folder.txt other
TABLE

for command in $commands; do
  expected=$("$packer" "$command" --help | help_options)
  actual=$(offered tessit-pack "$command" - | sorted)
  [ "$actual" = "$expected" ] || fail "tessit-pack $command -: offered \"$actual\", the help lists \"$expected\""
done

[ "$failed" -eq 0 ] && echo "ok: the completion offers what the help lists"
exit "$failed"
