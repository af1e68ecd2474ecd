#!/usr/bin/env bash
# tessit-pack's manual page says what its help says: every line of the help
# of tessit-pack and of each of its commands (the headings aside) is in the
# page as man shows it, every option and command the page lists is in the
# help, and the page names the version --version prints. The help is taken
# from a copy of tessit-pack in a tree of its own, its paths read as the
# package's /usr. Both pages format without a warning, and tessit(7) names
# the places build --target looks in.
#   manual-page.sh PACKER PAGE LAUNCHER_PAGE    (the pages gzip-compressed)
set -uo pipefail
packer=$1
page=$2
launcher_page=$3
work=$(mktemp -d /tmp/tessit-manual-page.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

mkdir -p "$work/usr/bin"
cp "$packer" "$work/usr/bin/tessit-pack"
program=$work/usr/bin/tessit-pack

# Text as man shows it, on one line: no hyphenation, no line breaks.
rendered() {
  zcat "$1" | groff -man -Tutf8 -rHY=0 -rLL=10000n -P-c 2>"$work/warnings" | col -b | tr -s '[:space:]' ' '
}
one_line() {
  local line
  line=$(tr -s '[:space:]' ' ')
  line=${line# }
  printf '%s\n' "${line% }"
}

for file in "$page" "$launcher_page"; do
  zcat "$file" | LC_ALL=C.UTF-8 groff -man -ww -z 2>"$work/warnings" >/dev/null
  [ -s "$work/warnings" ] && { fail "$file formats with warnings:"; cat "$work/warnings"; }
done

text=$(rendered "$page")
help_of() { "$program" "$@" --help | sed "s|$work/usr/|/usr/|g"; }
help_of >"$work/help.tessit-pack"
commands=$(sed -n '/^Subcommands:$/,/^$/{/^  /s/^  \([^ ]*\).*/\1/p}' "$work/help.tessit-pack")
[ -n "$commands" ] || fail "tessit-pack --help lists no commands"
for command in $commands; do
  help_of "$command" >"$work/help.$command"
done

# Every help line is in the page; headings ("Options:", "[Option Group: X]")
# only by what they name.
for helpfile in "$work"/help.*; do
  name=$(basename "$helpfile")
  while IFS= read -r line; do
    line=$(one_line <<<"$line")
    [[ -z $line || $line =~ ^[A-Za-z]+:$ ]] && continue
    case $line in
      'Usage: '*) line=${line#Usage: } ;;
      '[Option Group: '*']') line=${line#\[Option Group: } line=${line%]} ;;
    esac
    [[ " $text " == *" $line "* ]] || fail "$name: the page lacks \"$line\""
  done <"$helpfile"
done

# Every option and command the page lists is a line of the help.
cat "$work"/help.* | while IFS= read -r line; do one_line <<<"$line"; done >"$work/help-lines"
zcat "$page" | sed -n '/^\.SH OPTIONS$/,/^\.SH [^OC]/{/^\.TP$/{n;p}}' |
  sed 's/\\f[BIR]//g; s/\\-/-/g; s/\\&//g; s/\\e/\\/g' >"$work/listed"
[ -s "$work/listed" ] || fail "the page lists no options"
while IFS= read -r listed; do
  awk -v listed="$listed" 'index($0, listed) == 1 { found = 1 } END { exit !found }' "$work/help-lines" ||
    fail "the page lists \"$listed\", which no help line starts with"
done <"$work/listed"

version=$("$program" --version)
[[ $text == *" $version "* ]] || fail "the page does not name \"$version\""

# tessit(7) names each launcher --target packs onto.
launcher_text=$(rendered "$launcher_page")
grep -o '/usr/[^ ,()]*' "$work/help.build" >"$work/launchers"
[ -s "$work/launchers" ] || fail "build --help names no launcher"
while IFS= read -r path; do
  [[ $launcher_text == *" $path "* ]] || fail "tessit(7) does not name $path"
done <"$work/launchers"

[ "$failed" -eq 0 ] && echo "ok: the manual pages say what the help says"
exit "$failed"
