#!/usr/bin/env bash
# Takes the pictures in docs/: the "Please wait..." window and the DEBUG log
# box of a real Tessit.exe run under Wine on an Xvfb display. Needs the
# x86_64 build (scripts/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
require_commands wine wineserver Xvfb xwininfo import
build="$root/build/win64"
work=$(mktemp -d /tmp/tessit-shots.XXXXXX)
export WINEPREFIX=${TESSIT_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX/drive_c" ] || "$root/scripts/wine-run.sh" --init
wineserver --wait # a server started without a display could not show the windows

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

windows_path() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# A package whose installer takes a few seconds keeps the window up.
mkdir -p "$work/stage"
cp "$build/tests/windows/mDNSResponder.exe" "$build/tests/windows/QIRA_t.exe" "$work/stage/"
echo "0 4000" > "$work/stage/installer-exit-code.txt"
wine "$build/tools/tessit-pack/tessit-pack.exe" build -l "$(windows_path "$build/app/Tessit.exe")" \
  -o "$(windows_path "$work/Tessit.exe")" --oem 47 "$(windows_path "$work/stage")" >/dev/null

window_id() { # the first visible top-level window whose name matches
  xwininfo -root -tree 2>/dev/null | awk -v name="$1" 'index($0, "\"" name "\"") && /[0-9]+x[0-9]+/ {print $1; exit}'
}
shoot() { # shoot WINDOW_NAME OUTPUT
  local id=
  for _ in $(seq 200); do id=$(window_id "$1"); [ -n "$id" ] && break; sleep 0.05; done
  [ -n "$id" ] || { echo "no window named $1" >&2; return 1; }
  sleep 0.5
  import -window "$id" "$2"
  echo "wrote $2"
}

wine "$work/Tessit.exe" -NAME:Demo DEBUG &
launcher=$!
shoot QIRA "$root/docs/please-wait.png"
shoot Tessit "$root/docs/debug-log.png"
timeout 30 wine "$build/tests/windows/boxreader.exe" 10000 >/dev/null
wait "$launcher"
