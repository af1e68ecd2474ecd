#!/usr/bin/env bash
# Where the kernel runs no 32-bit programs, the i686 runs go through
# qemu-i386's emulation; where that cannot run them either they are skipped
# with the reason (exit code 77, CTest's skip), or fail with
# TESSIT_REQUIRE_I686=1, and nothing is started. The kernel's check is made
# to fail on any machine by pointing TESSIT_I686_PROBE at a file that cannot
# be run, emulation by pointing TESSIT_I686_EMULATOR at one that cannot be
# registered.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-loader.sh"
work=$(mktemp -d /tmp/tessit-i686-skip.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# pe_program FILE MACHINE: the headers' fields the runs read, MACHINE in hex.
pe_program() {
  { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\0\0\0'; printf 'PE\0\0'; printf "$2"; head -c 64 /dev/zero; } >"$1"
}
pe_program "$work/i686.exe" '\x4c\x01'
pe_program "$work/x86_64.exe" '\x64\x86'
# Bytes no kernel runs: the shell reports "Exec format error", as it does
# for a 32-bit program on a kernel without IA32 emulation.
printf '\0\0\0\0binary' >"$work/foreign"
chmod +x "$work/foreign"

# The probe's verdict for each kind of 32-bit program, emulation left out.
no_emulation=/dev/null
while IFS='|' read -r probe expected; do
  reason=$(TESSIT_I686_PROBE=$probe TESSIT_I686_EMULATOR=$no_emulation i686_unrunnable_reason)
  if [ -z "$expected" ]; then
    [ -z "$reason" ] || fail "probe $probe: reported not runnable: $reason"
  else
    [[ $reason == *"$expected"* ]] || fail "probe $probe: '$expected' not in '$reason'"
  fi
done <<TABLE
/bin/true|
$work/foreign|this machine does not run 32-bit programs ($work/foreign: cannot execute binary file: Exec format error); turn on the kernel's IA32 emulation (boot with the kernel parameter ia32_emulation=on
/dev/null|this machine does not run 32-bit programs (/dev/null: Permission denied)
$work/missing|Wine's 32-bit loader $work/missing is missing (wine32:i386
TABLE

# Why emulation cannot run them: the emulator cannot be registered, or,
# where no user namespace can be made (a chroot), unshare's refusal.
reason=$(TESSIT_I686_PROBE=/dev/null TESSIT_I686_EMULATOR=$no_emulation i686_unrunnable_reason)
[[ $reason == *"; nor can qemu-i386 run them here (i686-emulation.sh: /dev/null cannot be registered"* ||
   $reason == *"; nor can qemu-i386 run them here (unshare: "?*")" ]] ||
  fail "the reason does not say why emulation cannot run them: $reason"

# Which way 32-bit programs run: the kernel's where it runs them, else
# emulation where it works here (a kernel since Linux 6.7 and qemu-user).
emulation=$(i686_emulation_reason)
while IFS='|' read -r probe emulator expected; do
  [ "$expected" != emulated ] || [ -z "$emulation" ] || expected=
  way=$(TESSIT_I686_PROBE=$probe TESSIT_I686_EMULATOR=$emulator i686_way)
  [ "$way" = "$expected" ] || fail "probe $probe, emulator $emulator: '$way', not '$expected'"
done <<TABLE
/bin/true|$no_emulation|native
/bin/true||native
$work/foreign||emulated
$work/foreign|$no_emulation|
TABLE

[ "$(pe_architecture "$work/i686.exe")" = i686 ] || fail "an i686 program is not taken for one"
[ "$(pe_architecture "$work/x86_64.exe")" = x86_64 ] || fail "an x86_64 program is not taken for one"
[ "$(wine_loader x86_64)" = /usr/lib/wine/wine64 ] || fail "x86_64 programs do not go through the 64-bit loader"
[ "$(wine_loader i686)" = wine ] || fail "i686 programs do not go through the front end"

# A Windows suite (through the emulator) and the end-to-end run of an i686
# build, with and without TESSIT_REQUIRE_I686: exit code, the line that says
# why, and no Wine prefix made (nothing was started).
skip_line="skipped: this machine does not run 32-bit programs ($work/foreign: cannot execute binary file: Exec format error)"
fail_line="FAILED: 32-bit run required (TESSIT_REQUIRE_I686=1), but this machine does not run 32-bit programs"
while IFS='|' read -r name require status line; do
  prefix=$work/prefix-$name-$require
  case $name in
    suite) command=("$root/scripts/wine-run.sh" "$work/i686.exe" --gtest_brief=1) ;;
    end-to-end) command=("$root/tests/windows/e2e.sh" "$work/i686.exe" "$work/i686.exe" "$work") ;;
  esac
  actual=0
  TESSIT_I686_PROBE=$work/foreign TESSIT_I686_EMULATOR=$no_emulation TESSIT_REQUIRE_I686=$require \
    TESSIT_WINEPREFIX=$prefix \
    "${command[@]}" >"$work/out" 2>&1 || actual=$?
  [ "$actual" = "$status" ] || fail "$name, TESSIT_REQUIRE_I686=$require: exit code $actual, not $status"
  grep -qF -- "$line" "$work/out" || { fail "$name, TESSIT_REQUIRE_I686=$require: '$line' not in:"; cat "$work/out"; }
  [ ! -e "$prefix" ] || fail "$name, TESSIT_REQUIRE_I686=$require: a Wine prefix was made"
done <<TABLE
suite||77|$skip_line
suite|1|1|$fail_line
end-to-end||77|$skip_line
end-to-end|1|1|$fail_line
TABLE

# A suite that needs the kernel's 32-bit support is skipped under emulation,
# with the reason, before anything is started.
if [ -z "$emulation" ]; then
  actual=0
  TESSIT_I686_PROBE=$work/foreign TESSIT_I686_NATIVE_ONLY=1 TESSIT_WINEPREFIX=$work/prefix-native-only \
    "$root/scripts/wine-run.sh" "$work/i686.exe" >"$work/out" 2>&1 || actual=$?
  [ "$actual" = 77 ] || fail "a suite that needs the kernel's support: exit code $actual under emulation, not 77"
  grep -qF "skipped: this run needs a kernel that runs 32-bit programs" "$work/out" ||
    { fail "a suite that needs the kernel's support: no reason given:"; cat "$work/out"; }
  [ ! -e "$work/prefix-native-only" ] || fail "a suite that needs the kernel's support: a Wine prefix was made"
fi

[ "$failed" -eq 0 ] && echo "ok: the i686 runs are skipped, or fail when required, with the reason"
exit "$failed"
