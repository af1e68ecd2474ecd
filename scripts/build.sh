#!/usr/bin/env bash
# Configures and builds the three targets: native Linux, Windows x86_64 and
# Windows i686. Build folders live under build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
require_commands cmake ninja ctest
jobs=${TESSIT_JOBS:-2}

configure_and_build() {
  local folder=$1; shift
  cmake -S "$root" -B "$root/build/$folder" -G Ninja "$@" >/dev/null
  cmake --build "$root/build/$folder" -j "$jobs"
}

configure_and_build linux
configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake"
configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake"
