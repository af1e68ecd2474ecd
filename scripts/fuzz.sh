#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs one of them.
#
#   scripts/fuzz.sh TARGET [SECONDS]     e.g. scripts/fuzz.sh FormatFuzzer 1200
#
# New inputs go to <build>/corpus/<target> and inputs that fail to
# <build>/findings/<target>; the seeds kept in the repository
# (fuzz/corpus/<name>) are read, never written. The build folder
# is build/fuzz unless TESSIT_FUZZ_BUILD names another. An input that runs
# longer than TESSIT_FUZZ_TIMEOUT seconds (default 10) is reported as a hang.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?fuzz target name}
seconds=${2:-60}
build=${TESSIT_FUZZ_BUILD:-$root/build/fuzz}
mkdir -p "$build" && build=$(cd "$build" && pwd)

"$root/scripts/setup.sh" clang libclang-rt-14-dev

(cd "$root" && cmake --preset fuzz -B "$build" >/dev/null)
cmake --build "$build" --target "$target" -j "${TESSIT_JOBS:-2}"

seeds="$root/fuzz/corpus/$(echo "$target" | sed 's/Fuzzer$//' | tr '[:upper:]' '[:lower:]')"
corpus="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$corpus" "$findings"
"$build/fuzz/$target" -max_total_time="$seconds" -timeout="${TESSIT_FUZZ_TIMEOUT:-10}" \
  -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "$seeds"
