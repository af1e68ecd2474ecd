#!/usr/bin/env bash
# Sets up the machine, builds all three targets, checks that the release
# i686 launcher stays within 1 MiB and runs every test: the
# native suite, the same under AddressSanitizer and UndefinedBehaviorSanitizer,
# one launcher run under valgrind's memcheck, then each Windows build's suites
# and its end-to-end run under Wine: x86_64, and i686, the build users run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh
scripts/size-report.sh --check

ctest --preset linux
scripts/sanitize.sh
scripts/memcheck.sh

export TESSIT_WINEPREFIX="$PWD/build/wineprefix"
rm -rf "$TESSIT_WINEPREFIX"
scripts/wine-run.sh --init
ctest --preset win64
ctest --preset win32
