#!/usr/bin/env bash
# Builds the native targets with AddressSanitizer and UndefinedBehaviorSanitizer
# (build/linux-sanitize) and runs every native test under them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
require_commands cmake ninja ctest
cd "$root"

cmake --preset linux-sanitize >/dev/null
cmake --build --preset linux-sanitize -j "${TESSIT_JOBS:-2}"
ctest --preset linux-sanitize
