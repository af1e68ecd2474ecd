#!/usr/bin/env bash
# Configures and builds the three targets from their presets: native Linux
# (build/linux), Windows x86_64 (build/win64) and Windows i686 (build/win32).
# The configure output goes to build/logs/configure-PRESET.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
. "$root/scripts/steps.sh"
require_commands cmake ninja
cd "$root"

for preset in linux win64 win32; do
  step "build $preset"
  quietly "configure-$preset" cmake --preset "$preset"
  cmake --build --preset "$preset" -j "${TESSIT_JOBS:-2}"
done
