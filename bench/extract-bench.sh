#!/usr/bin/env bash
# Extraction speed: a 1 GiB package of 30 entries of mixed sizes, extracted
# with `tessit-pack extract` (the launcher's own locator and extraction),
# against copying the same files with `cat` and forcing each to disk as the
# extraction does, into the same file system; plus the peak memory of
# packing and of extracting. Each side runs three times, alternating; the
# best time of each counts.
# Usage: bench/extract-bench.sh [BUILD_DIR]   (default build/linux)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
packer=$build/tools/tessit-pack/tessit-pack
launcher=$build/tests/tiny-pe32.exe
[ -x "$packer" ] && [ -f "$launcher" ] || { echo "build $build first (tessit-pack and the tests)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tessit-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/input/docs"

# Ten small entries (16 KiB to 1.6 MiB, some in a folder) and twenty large
# ones of different sizes that fill the rest of the GiB.
total=$((1 << 30))
names=() sizes=()
for i in $(seq 1 10); do
  folder=""; [ $((i % 3)) -ne 0 ] || folder=docs/
  names+=("${folder}small$i.bin"); sizes+=($((i * i * 16384)))
done
small_sum=0; for s in "${sizes[@]}"; do small_sum=$((small_sum + s)); done
weights_sum=$(( 20 * 21 / 2 ))
large_left=$((total - small_sum)) assigned=0
for i in $(seq 1 20); do
  size=$((large_left * i / weights_sum))
  [ "$i" -eq 20 ] && size=$((large_left - assigned))
  assigned=$((assigned + size))
  names+=("large$i.bin"); sizes+=("$size")
done
for index in "${!names[@]}"; do
  head -c "${sizes[$index]}" /dev/urandom >"$work/input/${names[$index]}"
done

/usr/bin/time -f %M -o "$work/pack-rss" "$packer" build -l "$launcher" -o "$work/package.exe" "$work/input"
cat "$work/package.exe" "$work/input"/*.bin "$work/input"/docs/*.bin >/dev/null # both sides start from the page cache

seconds() { date +%s.%N; }
extract_once() {
  rm -rf "$work/out"
  local start; start=$(seconds)
  /usr/bin/time -f %M -o "$work/extract-rss" "$packer" extract "$work/package.exe" -C "$work/out" >/dev/null
  echo "$(seconds) - $start" | bc
}
copy_once() {
  rm -rf "$work/out"
  local start; start=$(seconds)
  mkdir -p "$work/out/docs"
  for name in "${names[@]}"; do
    cat "$work/input/$name" >"$work/out/$name"
    sync "$work/out/$name"
  done
  echo "$(seconds) - $start" | bc
}

best_extract=999999 best_copy=999999
for round in 1 2 3; do
  t=$(extract_once); best_extract=$(echo "if ($t < $best_extract) $t else $best_extract" | bc)
  t=$(copy_once); best_copy=$(echo "if ($t < $best_copy) $t else $best_copy" | bc)
done

mib=$((total >> 20))
printf 'package: %d entries, %d MiB\n' "${#names[@]}" "$mib"
printf 'tessit-pack extract: %.2f s, %.0f MiB/s\n' "$best_extract" "$(echo "$mib / $best_extract" | bc -l)"
printf 'cat + fsync per file: %.2f s, %.0f MiB/s\n' "$best_copy" "$(echo "$mib / $best_copy" | bc -l)"
printf 'throughput ratio (extract / copy): %.2f\n' "$(echo "$best_copy / $best_extract" | bc -l)"
printf 'peak memory: extract %d KiB, build %d KiB\n' "$(cat "$work/extract-rss")" "$(cat "$work/pack-rss")"
