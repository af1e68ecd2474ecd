#!/usr/bin/env bash
# Sets up the machine, builds all three targets and runs every test: the
# native suite, the same under AddressSanitizer and UndefinedBehaviorSanitizer,
# one launcher run under valgrind's memcheck, then each Windows build's suites
# and its end-to-end run under Wine: x86_64, and i686, the build users run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

ctest --test-dir "$root/build/linux" --output-on-failure -j 2
"$root/scripts/sanitize.sh"
"$root/scripts/memcheck.sh"

export TESSIT_WINEPREFIX="$root/build/wineprefix"
rm -rf "$TESSIT_WINEPREFIX"
"$root/scripts/wine-run.sh" --init
ctest --test-dir "$root/build/win64" --output-on-failure
ctest --test-dir "$root/build/win32" --output-on-failure
