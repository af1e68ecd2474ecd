#!/usr/bin/env bash
# tessit-pack build --target finds the launcher in ../share/tessit/<target>/
# beside the folder the running tessit-pack is in (an installed tree, made
# here with a copy of it), whatever name it was started by; a missing
# launcher, an unknown target and anything but exactly one of -l and
# --target are refused.
#   target-launchers.sh PACKER LAUNCHER
set -uo pipefail
packer=$1
launcher=$2
work=$(mktemp -d /tmp/tessit-target-launchers.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

tree=$work/usr
mkdir -p "$tree/bin" "$tree/share/tessit/linux-x86_64" "$tree/share/tessit/windows-i686" "$work/elsewhere"
cp "$packer" "$tree/bin/tessit-pack"
cp "$launcher" "$tree/share/tessit/linux-x86_64/tessit"
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
$tree/bin/tessit-pack|--target linux-x86_64|0|$tree/share/tessit/linux-x86_64/tessit
$tree/bin/tessit-pack|--target windows-i686|0|$tree/share/tessit/windows-i686/Tessit.exe
$work/elsewhere/packer|--target windows-i686|0|$tree/share/tessit/windows-i686/Tessit.exe
$tree/bin/tessit-pack|--target windows-x86_64|1|$tree/share/tessit/windows-x86_64/Tessit.exe: no launcher for windows-x86_64 here
$tree/bin/tessit-pack|--target macos-arm64|1|--target: macos-arm64 not in {windows-i686,windows-x86_64,linux-x86_64}
$tree/bin/tessit-pack|-l $launcher --target linux-x86_64|1|Exactly 1 option from [-l,--launcher,--target] is required
$tree/bin/tessit-pack||1|Exactly 1 option from [-l,--launcher,--target] is required
$tree/bin/tessit-pack|-l $launcher|0|$launcher
TABLE

"$tree/bin/tessit-pack" build --help >"$work/help" 2>&1
for text in "windows-i686, windows-x86_64, linux-x86_64" "looked up in $tree/share/tessit/NAME/"; do
  grep -qF -- "$text" "$work/help" || { fail "build --help does not say '$text':"; cat "$work/help"; }
done

[ "$failed" -eq 0 ] && echo "ok: build --target packs onto the launchers installed beside tessit-pack"
exit "$failed"
