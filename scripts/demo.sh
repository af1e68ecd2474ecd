#!/usr/bin/env bash
# Sets up, builds, and shows what the build holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/linux" -G Ninja >/dev/null
cmake --build "$root/build/linux" -j 2
echo "Tessit $(sed -n 's/^project(Tessit VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt"): foundation library built"
