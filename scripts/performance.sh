#!/usr/bin/env bash
# Runs every benchmark in one go and writes docs/performance.md:
#   1. extraction by the Linux launcher against the device's own direct-I/O
#      write of the same bytes (the limit), cat with a per-file fsync, tar,
#      unzip, 7z and makeself, each as it is and followed by sync;
#   2. peak memory of the launcher, of `tessit-pack build` and of
#      `tessit-pack extract` of the package unsigned and signed, by size;
#   3. the launcher's start-up overhead up to the main tool's start;
#   4. `tessit-pack build` against cp of the same bytes;
#   5. appendFormat against swprintf and {fmt};
#   6. a signed package's one pass against the same package's unsigned one,
#      natively and under Wine (scripts/signature-performance.sh);
#   7. the release builds' sizes and what takes the launcher's space
#      (scripts/size-report.sh).
# Whole commands are timed by hyperfine, in-process work by Google Benchmark;
# every figure is a median, and every ratio compares figures of one run.
# The parts are in scripts/performance/: make-set.sh makes the test data,
# measure.sh takes the figures into a results folder, render.py writes the
# document from them and the prose of template.md.
# Takes half an hour to an hour and some 20 GB of scratch space.
#
# Usage: scripts/performance.sh [--work DIR] [--results DIR] [--quick]
#   --work DIR     scratch folder (default: a new one under /var/tmp); the
#                  extraction timings are of its file system, so not a tmpfs
#   --results DIR  keeps the figures there, from which
#                  `scripts/performance/render.py DIR SCALE OUTPUT` writes
#                  the document again (SCALE: 1, or 16 with --quick)
#   --quick        small sizes, written to build/release-linux/performance.md
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
parts=$root/scripts/performance
build=$root/build/release-linux
output=$root/docs/performance.md
work_parent=/var/tmp
kept_results=""
scale=1
quick=()
while [ $# -gt 0 ]; do
  case $1 in
    --work) work_parent=$2; shift 2 ;;
    --results) kept_results=$2; shift 2 ;;
    --quick) scale=16; output=$build/performance.md; quick=(--quick); shift ;;
    *) echo "usage: $0 [--work DIR] [--results DIR] [--quick]" >&2; exit 2 ;;
  esac
done

"$root/scripts/setup.sh" hyperfine makeself p7zip-full zip unzip jq python3
(cd "$root" && cmake --preset release-linux >/dev/null &&
  cmake --build --preset release-linux -j "${TESSIT_JOBS:-2}" --target tessit tessit-pack launcher_bench format_bench extraction_bench >/dev/null)
launcher=$build/app/tessit
packer=$build/tools/tessit-pack/tessit-pack

mkdir -p "$work_parent"
work=$(mktemp -d "$(cd "$work_parent" && pwd)/tessit-performance.XXXXXX")
trap 'rm -rf "$work"' EXIT
results=$work/results
mkdir -p "$results"
"$parts/measure.sh" machine "$work" "$results/machine.json"

echo "extraction: 30 files of 4 KiB"
"$parts/make-set.sh" --peers "$work/small" small 0 "$launcher" "$packer"
"$parts/measure.sh" extraction "$work/small" "$results/extract-small"
rm -rf "$work/small"

# Packages of 256 MiB, 1 GiB and 4 GiB less 1 MiB, which a signed PE file
# can still hold (a sixteenth of that with --quick); the peers extract the
# 1 GiB one.
for mib in 256 1024 4095; do
  bytes=$((mib * (1 << 20) / scale))
  echo "packages of $((bytes >> 20)) MiB"
  if [ "$mib" -eq 1024 ]; then
    "$parts/make-set.sh" --peers --signed "$work/set$mib" mixed "$bytes" "$launcher" "$packer"
    "$parts/measure.sh" extraction "$work/set$mib" "$results/extract-mixed"
  else
    "$parts/make-set.sh" --signed "$work/set$mib" mixed "$bytes" "$launcher" "$packer"
  fi
  "$parts/measure.sh" sizes "$work/set$mib" "$results/size-$mib" "$launcher" "$packer"
  rm -rf "$work/set$mib"
done

echo "start-up overhead and formatting"
"$parts/measure.sh" benchmarks "$build/bench" "$work" "$results/bench"

echo "sizes of the release builds"
"$root/scripts/size-report.sh" >"$results/size.md"

echo "signed against unsigned"
"$root/scripts/signature-performance.sh" --work "$work_parent" --results "$results" "${quick[@]}"

if [ -n "$kept_results" ]; then
  mkdir -p "$kept_results"
  cp -r "$results/." "$kept_results"
fi
python3 "$parts/render.py" "$results" "$scale" "$output"
echo "wrote $output"
