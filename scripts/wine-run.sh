#!/usr/bin/env bash
# Runs a Windows program (i686 or x86_64) under Wine in the test run's
# private prefix: a 64-bit one through Wine's 64-bit loader, a 32-bit one
# through the `wine` front end, under qemu-i386's emulation where the kernel
# runs no 32-bit programs (scripts/i686-emulation.sh). Where 32-bit programs
# cannot run either way, a 32-bit one is not started: the run says why and
# exits with 77, which the tests take as skipped (with TESSIT_REQUIRE_I686=1
# it fails); so is one marked TESSIT_I686_NATIVE_ONLY (tests/CMakeLists.txt)
# where they would run under emulation.
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
  # wineboot is a 64-bit program in the 64-bit prefix the loader makes; it
  # sets up the prefix's 32-bit side with a 32-bit program, which runs under
  # emulation where that is how 32-bit programs run (a prefix made without
  # it has no 32-bit side, and no later wineboot adds one).
  boot=("$(wine_loader x86_64)")
  [ "$(i686_way)" = emulated ] && boot=("$root/scripts/i686-emulation.sh" "${boot[@]}")
  quietly wine-prefix "${boot[@]}" wineboot --init
  wineserver --wait
  exit 0
fi
trap - EXIT
architecture=$(pe_architecture "$1")
loader=("$(wine_loader "$architecture")")
if [ "$architecture" = i686 ]; then
  case $(i686_way) in
    native) ;;
    emulated)
      [ -z "${TESSIT_I686_NATIVE_ONLY:-}" ] || i686_skip "$i686_emulation_limits" || exit $?
      loader=("$root/scripts/i686-emulation.sh" "${loader[@]}") ;;
    *) i686_skip "$(i686_unrunnable_reason)" || exit $? ;;
  esac
fi
[ -d "$WINEPREFIX/drive_c" ] || "$0" --init >/dev/null
if [ "$architecture" = i686 ] && reason=$(i686_prefix_reason) && [ -n "$reason" ]; then
  echo "wine-run: $reason" >&2
  exit 1
fi
exec "${loader[@]}" "$@"
