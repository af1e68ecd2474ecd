#!/usr/bin/env bash
# Sets up the machine, builds all three targets, checks that the release
# i686 launcher stays within 1 MiB and runs every test: the
# native suite, the same under AddressSanitizer and UndefinedBehaviorSanitizer,
# one launcher run under valgrind's memcheck, then each Windows build's suites
# and its end-to-end run under Wine: x86_64, and i686, the build users run.
# On a machine that does not run 32-bit programs the i686 runs are reported
# as skipped, with the reason; TESSIT_REQUIRE_I686=1 makes them fail instead.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/steps.sh
. scripts/wine-loader.sh

step "set-up"
scripts/setup.sh
step "build"
scripts/build.sh
step "size of the release i686 launcher"
scripts/size-report.sh --check

step "native suite"
ctest --preset linux
step "native suite under the sanitizers"
scripts/sanitize.sh
step "memcheck"
scripts/memcheck.sh

step "32-bit support"
i686_reason=$(i686_unrunnable_reason)
if [ -z "$i686_reason" ]; then
  echo "this machine runs 32-bit programs: the i686 suites and end-to-end run run as well"
elif [ "${TESSIT_REQUIRE_I686:-}" = 1 ]; then
  echo "the i686 suites and end-to-end run will FAIL (TESSIT_REQUIRE_I686=1): $i686_reason"
else
  echo "the i686 suites and end-to-end run will be skipped: $i686_reason"
fi

export TESSIT_WINEPREFIX="$PWD/build/wineprefix"
rm -rf "$TESSIT_WINEPREFIX"
scripts/wine-run.sh --init
step "Windows x86_64 suites and end-to-end run"
ctest --preset win64
step "Windows i686 suites and end-to-end run"
ctest --preset win32
