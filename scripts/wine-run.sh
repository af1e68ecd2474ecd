#!/usr/bin/env bash
# Runs a Windows program (i686 or x86_64) under Wine in the test run's
# private prefix: a 64-bit one through Wine's 64-bit loader, a 32-bit one
# through the `wine` front end. Where this machine does not run 32-bit
# programs, a 32-bit one is not started: the run says why and exits with 77,
# which the tests take as skipped (with TESSIT_REQUIRE_I686=1 it fails).
# `--init` creates the prefix once, before the tests use it; wineboot's
# output goes to build/logs/wine-prefix.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
. "$root/scripts/steps.sh"
. "$root/scripts/wine-loader.sh"
require_commands wine wineserver "$(wine_loader x86_64)"
export WINEPREFIX=${TESSIT_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

if [ "${1:-}" = "--init" ]; then
  step "Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # wineboot is a 64-bit program in the 64-bit prefix the loader makes.
  quietly wine-prefix "$(wine_loader x86_64)" wineboot --init
  wineserver --wait
  exit 0
fi
trap - EXIT
architecture=$(pe_architecture "$1")
if [ "$architecture" = i686 ]; then
  reason=$(i686_unrunnable_reason)
  if [ -n "$reason" ]; then
    i686_skip "$reason" || exit $?
  fi
fi
[ -d "$WINEPREFIX/drive_c" ] || "$0" --init >/dev/null
exec "$(wine_loader "$architecture")" "$@"
