#!/usr/bin/env bash
# Runs a Windows program (i686 or x86_64) under Wine in the test run's
# private prefix.
# `--init` creates the prefix once, before the tests use it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
require_commands wine wineboot wineserver
export WINEPREFIX=${TESSIT_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

if [ "${1:-}" = "--init" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver --wait
  exit 0
fi
[ -d "$WINEPREFIX/drive_c" ] || "$0" --init
exec wine "$@"
