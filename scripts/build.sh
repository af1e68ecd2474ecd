#!/usr/bin/env bash
# Configures and builds the three targets from their presets: native Linux
# (build/linux), Windows x86_64 (build/win64) and Windows i686 (build/win32).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
require_commands cmake ninja
cd "$root"

for preset in linux win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "${TESSIT_JOBS:-2}"
done
