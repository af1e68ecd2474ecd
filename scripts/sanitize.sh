#!/usr/bin/env bash
# Builds the native targets with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every native test under them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
require_commands cmake ninja ctest
build="$root/build/linux-sanitize"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSIT_SANITIZE=ON >/dev/null
cmake --build "$build" -j "${TESSIT_JOBS:-2}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$build" --output-on-failure -j 2
