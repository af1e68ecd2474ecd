#!/usr/bin/env bash
# Builds the native targets with AddressSanitizer and UndefinedBehaviorSanitizer
# (build/linux-sanitize) and runs every native test under them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
. "$root/scripts/steps.sh"
require_commands cmake ninja ctest
cd "$root"

quietly configure-linux-sanitize cmake --preset linux-sanitize
cmake --build --preset linux-sanitize -j "${TESSIT_JOBS:-2}"
ctest --preset linux-sanitize "$@"
