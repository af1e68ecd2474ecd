#!/usr/bin/env bash
# tessit-pack build --target finds the Windows launchers in
# ../share/tessit/<target>/ and the Linux one in ../lib/tessit/linux-x86_64/
# beside the folder the running tessit-pack is in (an installed tree, made
# here with a copy of it), whatever name it was started by; a missing
# launcher (a Linux one left in ../share/tessit/ included), an
# unknown target and anything but exactly one of -l and --target are
# refused. build --help names each place.
#   target-launchers.sh PACKER LAUNCHER
set -uo pipefail
packer=$1
launcher=$2
work=$(mktemp -d /tmp/tessit-target-launchers.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

tree=$work/usr
old=$work/old/usr
mkdir -p "$tree/bin" "$tree/lib/tessit/linux-x86_64" "$tree/share/tessit/windows-i686" "$work/elsewhere" \
  "$old/bin" "$old/share/tessit/linux-x86_64"
cp "$packer" "$tree/bin/tessit-pack"
cp "$launcher" "$tree/lib/tessit/linux-x86_64/tessit"
cp "$packer" "$old/bin/tessit-pack"
cp "$launcher" "$old/share/tessit/linux-x86_64/tessit"
# Another executable, so that each target's launcher is told apart.
cp "$packer" "$tree/share/tessit/windows-i686/Tessit.exe"
ln -s "$tree/bin/tessit-pack" "$work/elsewhere/packer"
echo "a file to pack" >"$work/item.txt"

# started as | arguments | exit code (0, or 1 for any failure) | packed onto, or a text of its message
while IFS='|' read -r program arguments status expected; do
  read -ra words <<<"$arguments"
  actual=0
  "$program" build "${words[@]}" -o "$work/packed" "$work/item.txt" >"$work/out" 2>&1 || actual=$?
  case=("$(basename "$program")" "$arguments")
  [ "$actual" -ne 0 ] && actual=1
  [ "$actual" = "$status" ] || { fail "${case[*]}: exit code $actual, not $status:"; cat "$work/out"; continue; }
  if [ "$status" = 0 ]; then
    cmp -s -n "$(stat -c %s "$expected")" "$expected" "$work/packed" || fail "${case[*]}: not packed onto $expected"
    "$tree/bin/tessit-pack" verify "$work/packed" >/dev/null || fail "${case[*]}: the package does not verify"
  else
    grep -qF -- "$expected" "$work/out" || { fail "${case[*]}: '$expected' not in:"; cat "$work/out"; }
  fi
  rm -f "$work/packed"
done <<TABLE
$tree/bin/tessit-pack|--target linux-x86_64|0|$tree/lib/tessit/linux-x86_64/tessit
$tree/bin/tessit-pack|--target windows-i686|0|$tree/share/tessit/windows-i686/Tessit.exe
$work/elsewhere/packer|--target windows-i686|0|$tree/share/tessit/windows-i686/Tessit.exe
$tree/bin/tessit-pack|--target windows-x86_64|1|$tree/share/tessit/windows-x86_64/Tessit.exe: no launcher for windows-x86_64 here
$old/bin/tessit-pack|--target linux-x86_64|1|$old/lib/tessit/linux-x86_64/tessit: no launcher for linux-x86_64 here
$tree/bin/tessit-pack|--target macos-arm64|1|--target: macos-arm64 not in {windows-i686,windows-x86_64,linux-x86_64}
$tree/bin/tessit-pack|-l $launcher --target linux-x86_64|1|Exactly 1 option from [-l,--launcher,--target] is required
$tree/bin/tessit-pack||1|Exactly 1 option from [-l,--launcher,--target] is required
$tree/bin/tessit-pack|-l $launcher|0|$launcher
TABLE

"$tree/bin/tessit-pack" build --help >"$work/help" 2>&1
for text in "$tree/share/tessit/windows-i686/Tessit.exe (windows-i686)" \
  "$tree/share/tessit/windows-x86_64/Tessit.exe (windows-x86_64)" "$tree/lib/tessit/linux-x86_64/tessit (linux-x86_64)"; do
  grep -qF -- "$text" "$work/help" || { fail "build --help does not say '$text':"; cat "$work/help"; }
done

[ "$failed" -eq 0 ] && echo "ok: build --target packs onto the launchers installed beside tessit-pack"
exit "$failed"
