#!/usr/bin/env bash
# tessit-pack as users of such tools expect it: usage errors exit 2 and say
# what is wrong, every refusal of build names its cause and writes nothing,
# a package lacking its main tool or installer is worth a warning (an error
# with --strict), verify counts "1 entry", extract lists what it wrote with
# the modes a user's tools give, and list and verify speak JSON.
#   command-line.sh PACKER LINUX-LAUNCHER
set -uo pipefail
packer=$1
elf=$2
work=$(mktemp -d /tmp/tessit-command-line.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# A Windows launcher: the smallest PE headers a loader would look at.
{ printf 'MZ'; head -c 58 /dev/zero; printf '\x40\0\0\0'; printf 'PE\0\0\x4c\x01'; head -c 14 /dev/zero
  printf '\xe0\0'; head -c 2 /dev/zero; printf '\x0b\x01'; head -c 90 /dev/zero; printf '\x10\0\0\0'
  head -c 350 /dev/zero; } >Tessit.exe
printf '#!/bin/sh\necho main\n' >QIRA_t.exe
printf '#!/bin/sh\nexit 0\n' >mDNSResponder.exe
echo notes >notes.txt
cp notes.txt notes.kept

# case LABEL EXIT ERROR-TEXT COMMAND...: the exit code, and the text on
# standard error (empty: no error line at all).
case_() {
  local label=$1 code=$2 text=$3; shift 3
  "$packer" "$@" >printed 2>said
  local status=$?
  [ "$status" = "$code" ] || fail "$label: exit $status, not $code: $(cat said)"
  if [ -n "$text" ]; then
    grep -qF -- "$text" said || fail "$label: no '$text' in: $(cat said)"
  elif grep -q 'error:' said; then
    fail "$label: an error where none is due: $(cat said)"
  fi
}
case_ "a misspelt command" 2 "unknown command 'buidl'; the commands are build, list, verify, extract" \
  buidl -l Tessit.exe -o x.exe QIRA_t.exe
case_ "an unknown option" 2 "tessit-pack: error: " list --frobnicate Tessit.exe
case_ "a missing argument" 2 "tessit-pack: error: " list
case_ "a negative OEM number" 2 "--oem" build -l Tessit.exe -o x.exe --oem -1 QIRA_t.exe mDNSResponder.exe
case_ "an OEM number out of range" 2 "--oem" build -l Tessit.exe -o x.exe --oem 2147483648 QIRA_t.exe
case_ "an output folder that is missing" 1 "missing: no such folder to write the output into" \
  build -l Tessit.exe -o missing/x.exe QIRA_t.exe mDNSResponder.exe
case_ "an output that is an entry's file" 1 "is the file of entry 'notes.txt'; the output would destroy it" \
  build -l Tessit.exe -o notes.txt notes.txt
cmp -s notes.txt notes.kept || fail "the entry's file named as the output was changed"
ln notes.txt linked.txt
case_ "an output that is another name of an entry's file" 1 "the output would destroy it" \
  build -l Tessit.exe -o linked.txt docs/a.txt=notes.txt
case_ "an output that is the launcher" 1 "is the launcher itself" \
  build -l Tessit.exe -o ./Tessit.exe QIRA_t.exe
case_ "a tab in a name" 1 "holds a control character" build -l Tessit.exe -o x.exe "$(printf 'a\tb.txt')=notes.txt"
# Three entries of 1.5 GiB each, holes only: nothing of them is read.
truncate -s 1536M big1.bin big2.bin big3.bin
case_ "a Windows package over 4 GiB" 1 "holds at most 4294967288" \
  build -l Tessit.exe -o big.exe big1.bin big2.bin big3.bin QIRA_t.exe
[ ! -e big.exe ] && [ -z "$(ls -a | grep tessit-pack-)" ] || fail "a refused build left something behind"
case_ "no main tool" 0 "warning: no entry is the main tool QIRA_t.exe" build -l Tessit.exe -o x.exe mDNSResponder.exe
case_ "no main tool, strictly" 1 "error: no entry is the main tool QIRA_t.exe" \
  build --strict -l Tessit.exe -o strict.exe mDNSResponder.exe
[ ! -e strict.exe ] || fail "a strict build that failed wrote its output"

case_ "one entry" 0 "warning: " verify x.exe
grep -q ': 1 entry, consistent, not signed$' printed || fail "verify of one entry: $(cat printed)"
case_ "one entry, strictly" 1 "error: " verify --strict x.exe
grep -q ': 1 entry, faulty, not signed$' printed || fail "strict verify of one entry: $(cat printed)"
case_ "help" 0 "" --help
grep -q '^Exit codes:' printed && grep -q '^  2  the command line is wrong' printed || fail "--help names no exit codes: $(cat printed)"

case_ "a whole package" 0 "" build -l "$elf" -o tessit-packed --oem 47 QIRA_t.exe mDNSResponder.exe docs/a.txt=notes.txt
(umask 022 && "$packer" extract tessit-packed -C out >listed 2>said) || fail "extract: $(cat said)"
printf 'QIRA_t.exe\nmDNSResponder.exe\ndocs/a.txt\n' | cmp -s - listed || fail "extract listed: $(cat listed)"
for file in out/QIRA_t.exe:755 out/docs:755 out/docs/a.txt:644; do
  mode=$(stat -c %a "${file%:*}")
  [ "$mode" = "${file##*:}" ] || fail "${file%:*} has mode $mode, not ${file##*:}"
done

for command in list verify; do
  "$packer" "$command" --json tessit-packed >json 2>said || fail "$command --json: $(cat said)"
  python3 - json <<'PYTHON' || fail "$command --json: $(cat json)"
import json, sys
package = json.load(open(sys.argv[1]))
assert package["oem"] == 47, package
assert [entry["name"] for entry in package["entries"]] == ["QIRA_t.exe", "mDNSResponder.exe", "docs\\a.txt"], package
assert all(entry["written"] and entry["offset"] > 0 for entry in package["entries"]), package
assert package["consistent"] and package["signature"] is None, package
assert package["certificateTable"] == {"offset": 0, "size": 0} and package["errors"] == [], package
PYTHON
done
exit $failed
