#!/usr/bin/env bash
# Runs every benchmark in one go and writes docs/performance.md:
#   1. extraction by the Linux launcher against the device's own direct-I/O
#      write of the same bytes (the limit), cat with a per-file fsync, tar,
#      unzip, 7z and makeself, each as it is and followed by sync;
#   2. peak memory of the launcher and of `tessit-pack build` by package size;
#   3. the launcher's start-up overhead up to the main tool's start;
#   4. `tessit-pack build` against cp of the same bytes;
#   5. appendFormat against swprintf and {fmt};
#   6. a signed launcher's digest check against the extraction
#      (scripts/signature-performance.sh).
#   7. the release builds' sizes and what takes the launcher's space
#      (scripts/size-report.sh).
# Whole commands are timed by hyperfine, in-process work by Google Benchmark;
# every figure is a median, and every ratio compares figures of one run.
# Takes about a quarter of an hour and some 14 GB of scratch space.
#
# Usage: scripts/performance.sh [--work DIR] [--quick]
#   --work DIR  scratch folder (default: a new one under /var/tmp); the
#               extraction timings are of its file system, so not a tmpfs
#   --quick     small sizes, written to build/release-linux/performance.md
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release-linux
output=$root/docs/performance.md
work_parent=/var/tmp
mebibyte=$((1 << 20))
scale=1
while [ $# -gt 0 ]; do
  case $1 in
    --work) work_parent=$2; shift 2 ;;
    --quick) scale=16; output=$build/performance.md; shift ;;
    *) echo "usage: $0 [--work DIR] [--quick]" >&2; exit 2 ;;
  esac
done

"$root/scripts/setup.sh" hyperfine makeself p7zip-full zip unzip jq
(cd "$root" && cmake --preset release-linux >/dev/null &&
  cmake --build --preset release-linux -j "${TESSIT_JOBS:-2}" --target tessit tessit-pack launcher_bench format_bench >/dev/null)
launcher=$build/app/tessit
packer=$build/tools/tessit-pack/tessit-pack

mkdir -p "$work_parent"
work=$(mktemp -d "$(cd "$work_parent" && pwd)/tessit-performance.XXXXXX")
trap 'rm -rf "$work"' EXIT
results=$work/results
mkdir -p "$results"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
runs=5
extraction_runs=10
pairs=8
limit_row="direct I/O, 4 writers (the limit)"

# ---------------------------------------------------------------- test data

# The package's installer and main tool do nothing, padded to 4 KiB, so a
# launcher run is all extraction.
write_program() {
  local body=$'#!/bin/sh\nexit 0\n'
  { printf '%s' "$body"; head -c $((4096 - ${#body} - 1)) /dev/zero | tr '\0' '#'; echo; } >"$1"
  chmod +x "$1"
}

# Cheap incompressible bytes: AES-CTR of zeros, keyed by the file's name.
write_data() { head -c "$2" <(openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$1" </dev/zero 2>/dev/null) >"$1"; }

# make_set FOLDER KIND TOTAL: 30 entries in FOLDER/in, every third data file
# in a sub-folder; the installer and main tool are two of them. KIND mixed:
# ten small files of 16 KiB to 1.6 MiB and eighteen large ones of growing
# sizes that fill TOTAL; KIND small: 28 data files of 4 KiB.
make_set() {
  local set=$1 kind=$2 total=$3 i size folder sizes=() names=()
  mkdir -p "$set/in/docs" "$set/tmp" "$set/config"
  write_program "$set/in/mDNSResponder.exe"
  write_program "$set/in/QIRA_t.exe"
  if [ "$kind" = small ]; then
    for i in $(seq 1 28); do sizes+=(4096); done
  else
    local small_sum=0 large_left assigned=0
    for i in $(seq 1 10); do sizes+=($((i * i * 16384))); small_sum=$((small_sum + i * i * 16384)); done
    large_left=$((total - small_sum - 2 * 4096))
    for i in $(seq 1 18); do
      size=$((large_left * i / 171))
      [ "$i" -eq 18 ] && size=$((large_left - assigned))
      assigned=$((assigned + size))
      sizes+=("$size")
    done
  fi
  for i in "${!sizes[@]}"; do
    folder=""; [ $((i % 3)) -ne 2 ] || folder=docs/
    write_data "$set/in/${folder}data$((i + 1)).bin" "${sizes[$i]}"
  done
  "$packer" build -l "$launcher" -o "$set/Setup" --oem 47 "$set/in" >/dev/null
}

# The same files as a plain tar, a stored zip, a stored 7z and a makeself
# archive without compression or checksums (the Linux launcher verifies no
# content either), cat of each file followed by its fsync (sync FILE) as a
# script, and the limit as a script.
make_peer_archives() {
  local set=$1 name bytes share
  tar -cf "$set/set.tar" -C "$set/in" .
  (cd "$set/in" && zip -q -0 -r ../set.zip . && 7z a -bd -bso0 -bsp0 -mx=0 ../set.7z . >/dev/null)
  makeself --quiet --nocomp --nomd5 --nocrc "$set/in" "$set/set.run" tessit-bench ./QIRA_t.exe >/dev/null
  {
    echo "mkdir -p out/docs"
    (cd "$set/in" && find . -type f | sort) | while read -r name; do
      echo "cat in/$name >out/$name && sync out/$name"
    done
  } >"$set/cat-fsync.sh"

  # The limit: the device's own pace for the same number of bytes. Four
  # writers in parallel put a quarter each (rounded up to 4 KiB) into files
  # of their own with direct I/O in 64 MiB blocks, so no page cache and no
  # copying stand in the way, then fsync them as Tessit does its files. The
  # bytes come from the tar, which is in the page cache.
  bytes=$(find "$set/in" -type f -printf '%s\n' | awk '{ sum += $1 } END { print sum }')
  share=$(((bytes / 4 + 4095) / 4096 * 4096))
  {
    for name in 0 1 2 3; do
      echo "dd if=set.tar of=out/direct-$name bs=64M iflag=skip_bytes,count_bytes skip=$((name * share))" \
        "count=$share oflag=direct conv=fsync status=none &"
    done
    echo "wait"
  } >"$set/direct-io.sh"
}

# ------------------------------------------------------------------ timing

# Each run starts from an empty target and a clean disk: the previous run's
# output is deleted and everything written so far is on the device (with
# the file system's discard option, freeing blocks costs time at the next
# commit, which must not fall into a timed run).
prepare() { echo "rm -rf out tmp/tessit-$(id -u) copy packed && mkdir out && sync"; }

# hyperfine_in FOLDER JSON NAME COMMAND [NAME COMMAND...]
hyperfine_in() {
  local folder=$1 json=$2; shift 2
  local arguments=()
  while [ $# -gt 0 ]; do arguments+=(-n "$1" "$2"); shift 2; done
  (cd "$folder" && XDG_CONFIG_HOME=$folder/config hyperfine --style basic --warmup 1 --runs "$runs" \
    --prepare "$(prepare)" --export-json "$json" "${arguments[@]}" >"$json.log" 2>&1)
}

median() { jq -r --arg name "$2" '.results[] | select(.command == $name) | .median' "$1"; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

# The launcher, once, must give back exactly the packed files before its
# runs are timed; so must every other tool.
check_extraction() {
  local set=$1 command=$2 folder=$3
  (cd "$set" && eval "$(prepare)" && export XDG_CONFIG_HOME=$set/config && eval "$command" >/dev/null)
  diff -r -x '*.lock' "$set/in" "$set/$folder" >/dev/null || { echo "$command: wrong output" >&2; exit 1; }
}

extraction_commands() {
  local set=$1
  extraction_rows=("$limit_row" "sh direct-io.sh")
  set -- \
    "cat + fsync per file" "sh cat-fsync.sh" out \
    "Tessit launcher" "TMPDIR=$set/tmp ./Setup" "tmp/tessit-$(id -u)" \
    "tar -x" "tar -xf set.tar -C out" out \
    "unzip" "unzip -q set.zip -d out" out \
    "7z x" "7z x -bd -bso0 -bsp0 -oout set.7z" out \
    "makeself --noexec" "./set.run --quiet --noexec --nox11 --target out" out
  while [ $# -gt 0 ]; do
    check_extraction "$set" "$2" "$3"
    extraction_rows+=("$1" "$2")
    case $1 in "cat + fsync per file" | "Tessit launcher") ;; *) extraction_rows+=("$1, then sync" "$2 && sync") ;; esac
    shift 3
  done
}

# extraction_table JSON RATE: RATE is awk code printing the rate for s seconds.
extraction_table() {
  local json=$1 rate=$2 tessit name row seconds
  tessit=$(median "$json" "Tessit launcher")
  echo "| Tool | Median | Rate | Tessit's speed against it |"
  echo "|---|---:|---:|---:|"
  for ((row = 0; row < ${#extraction_rows[@]}; row += 2)); do
    name=${extraction_rows[$row]}
    seconds=$(median "$json" "$name")
    echo "| $name | $(calc "%.1f ms" "$seconds * 1000") | $(awk -v s="$seconds" "BEGIN { $rate }") |" \
      "$(calc "%.2f" "$seconds / $tessit") |"
  done
}

# time_once SET COMMAND: the seconds of one run from a clean start.
time_once() {
  (cd "$1" && eval "$(prepare)" && export XDG_CONFIG_HOME=$1/config && start=$(date +%s%N) &&
    eval "$2" >/dev/null && echo "$(($(date +%s%N) - start))e-9")
}

# Tessit's time over the limit's, run by run in alternating pairs, which the
# disk's drift in the course of a run touches less than medians of runs
# taken one tool after the other: the median ratio and its range.
limit_ratio() {
  local set=$1 pair limit tessit
  for pair in $(seq "$pairs"); do
    limit=$(time_once "$set" "sh direct-io.sh")
    tessit=$(time_once "$set" "TMPDIR=$set/tmp ./Setup")
    calc "%.4f\n" "$tessit / $limit"
  done | sort -g | awk -v pairs="$pairs" '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "Tessit took %.2f times the limit'"'"'s time (median of %d alternating pairs, from %.2f to %.2f).\n", m, pairs, v[1], v[NR] }'
}

run_extraction() {
  local set=$1 label=$2 rate=$3
  make_peer_archives "$set"
  extraction_commands "$set"
  hyperfine_in "$set" "$results/extract-$label.json" "${extraction_rows[@]}"
  {
    extraction_table "$results/extract-$label.json" "$rate"
    echo
    limit_ratio "$set"
  } >"$results/extract-$label.md"
}

# Packing into a new file, copying the same files, and running the package,
# each wrapped in /usr/bin/time so that every timed run also gives its peak
# memory.
run_sizes() {
  local set=$1 label=$2
  hyperfine_in "$set" "$results/size-$label.json" \
    "tessit-pack build" "/usr/bin/time -a -o pack.rss -f %M $packer build -l $launcher -o packed --oem 47 in >/dev/null" \
    "cp -r" "cp -r in copy" \
    "cp -r, then sync" "cp -r in copy && sync" \
    "Tessit launcher" "TMPDIR=$set/tmp /usr/bin/time -a -o run.rss -f %M ./Setup"
  cp "$set/pack.rss" "$results/pack-$label.rss"
  cp "$set/run.rss" "$results/run-$label.rss"
}

rss_median() { sort -n "$1" | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f MiB", m / 1024 }'; }

# -------------------------------------------------------------------- runs

echo "extraction: 30 files of 4 KiB"
make_set "$work/small" small 0
runs=$extraction_runs run_extraction "$work/small" small 'printf "%.0f files/s", 30 / s'
rm -rf "$work/small"

sizes=(256 1024 4096)
for size in "${sizes[@]}"; do
  bytes=$((size * mebibyte / scale))
  echo "packages of $((bytes / mebibyte)) MiB"
  make_set "$work/set$size" mixed "$bytes"
  [ "$size" -ne 1024 ] ||
    runs=$extraction_runs run_extraction "$work/set$size" mixed "printf \"%.0f MiB/s\", $bytes / $mebibyte / s"
  run_sizes "$work/set$size" "$size"
  rm -rf "$work/set$size"
done

echo "sizes of the release builds"
"$root/scripts/size-report.sh" >"$results/size.md"

echo "start-up overhead and formatting"
TMPDIR=$work "$build/bench/launcher_bench" --benchmark_repetitions=10 --benchmark_format=json \
  --benchmark_out="$results/launcher.json" --benchmark_out_format=json >/dev/null 2>&1
"$build/bench/format_bench" --benchmark_repetitions=10 --benchmark_format=json \
  --benchmark_out="$results/format.json" --benchmark_out_format=json >/dev/null 2>&1

# ---------------------------------------------------------------- document

bench_median() { jq -r --arg name "$2_median" '.benchmarks[] | select(.name == $name) | .real_time' "$1"; }

size_label() { [ "$1" -ge 1024 ] && echo "$(($1 / 1024 / scale)) GiB" || echo "$(($1 / scale)) MiB"; }
[ "$scale" -eq 1 ] || size_label() { echo "$(($1 / scale)) MiB"; }

memory_table() {
  echo "| Package | tessit-pack build | Tessit launcher |"
  echo "|---|---:|---:|"
  for size in "${sizes[@]}"; do
    echo "| $(size_label "$size") | $(rss_median "$results/pack-$size.rss") | $(rss_median "$results/run-$size.rss") |"
  done
}

packing_table() {
  local size json pack cp_plain cp_sync bytes
  echo "| Package | tessit-pack build | cp -r | cp -r, then sync | Packing's speed against cp -r, then sync | against cp -r |"
  echo "|---|---:|---:|---:|---:|---:|"
  for size in "${sizes[@]}"; do
    json=$results/size-$size.json
    bytes=$((size * mebibyte / scale))
    pack=$(median "$json" "tessit-pack build")
    cp_plain=$(median "$json" "cp -r")
    cp_sync=$(median "$json" "cp -r, then sync")
    echo "| $(size_label "$size") | $(calc "%.2f s (%.0f MiB/s)" "$pack, $bytes / $mebibyte / $pack") |" \
      "$(calc "%.2f s" "$cp_plain") | $(calc "%.2f s" "$cp_sync") |" \
      "$(calc "%.2f" "$cp_sync / $pack") | $(calc "%.2f" "$cp_plain / $pack") |"
  done
}

startup_table() {
  local json=$results/launcher.json launched direct
  launched=$(bench_median "$json" BM_LauncherUntilMainToolStarts/manual_time)
  direct=$(bench_median "$json" BM_MainToolDirectly/manual_time)
  echo "| Start to the main tool's start | Median |"
  echo "|---|---:|"
  echo "| through the Tessit launcher | $(calc "%.2f ms" "$launched") |"
  echo "| the main tool started directly | $(calc "%.2f ms" "$direct") |"
  echo "| the launcher's overhead | $(calc "%.2f ms" "$launched - $direct") |"
}

format_table() {
  local json=$results/format.json reference engine nanoseconds
  reference=$(bench_median "$json" appendFormat)
  echo "| Engine | One run's log (38 lines) | Per line | appendFormat's speed against it |"
  echo "|---|---:|---:|---:|"
  for engine in appendFormat swprintf fmt::format_to; do
    nanoseconds=$(bench_median "$json" "$engine")
    echo "| \`$engine\` | $(calc "%.0f ns" "$nanoseconds") | $(calc "%.0f ns" "$nanoseconds / 38") |" \
      "$(calc "%.2f" "$nanoseconds / $reference") |"
  done
}

tool_versions() {
  printf '%s; ' "$(tar --version | head -1)" "UnZip $(unzip -v | head -1 | cut -d' ' -f2)" \
    "7-Zip $(7z | sed -n 2p | cut -d' ' -f2)" "$(makeself --version)" "$(hyperfine --version)" "$(gcc --version | head -1)"
}

filesystem=$(findmnt -no FSTYPE,OPTIONS -T "$work")
memory_kib=$(awk '/MemTotal/ { print $2 }' /proc/meminfo)
. /etc/os-release
mkdir -p "$(dirname "$output")"
cat >"$output" <<EOF
# Performance

Written by \`scripts/performance.sh\` on $started; all tables below come from
that one run, but for section 6, which says when its own script wrote it. Reproduce with:

\`\`\`sh
scripts/performance.sh
\`\`\`

## The machine

| | |
|---|---|
| Processor | $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores |
| Memory | $((memory_kib / 1024 / 1024)) GiB |
| System | $PRETTY_NAME, kernel $(uname -r) |
| Work folder's file system | ${filesystem%% *} (${filesystem#* }) |
| Load average before the run | $load_before |
| Tools | $(tool_versions) |

Whole commands are timed by hyperfine (one warm-up run, then $extraction_runs timed
runs for extraction, $runs for the rest; the figures are medians). Before every timed run the
target is deleted and \`sync\` puts everything written so far on the disk, so
each run starts from a clean disk; the input is in the page cache. Ratios
compare medians of the same run. In-process figures come from Google
Benchmark (median of 10 repetitions).

## 1. Extraction

The same 30 files extracted by the Tessit launcher, which copies through a
512000-byte buffer, hands each chunk on to the disk as soon as it is
written (\`sync_file_range\`, without waiting) and forces each file to disk
(\`fsync\`) before it goes on to the next, and by the tools people use instead,
which leave the data in the page cache for the kernel to write later. Each
of those is timed as it is and followed by \`sync\`.

- **The limit** is the device's own write time for the same number of
  bytes, measured in the same run: four \`dd\` writers in parallel, each
  putting a quarter of the bytes into a file of its own with direct I/O
  (\`oflag=direct\`, no page cache, no copy through it) in blocks of
  64 MiB, then \`fsync\` (\`conv=fsync\`). No extraction can put the same
  bytes on this disk much faster. Below each table, Tessit's time against
  it is also given from alternating pairs of runs (the limit, then Tessit,
  $pairs times), which the disk's drift over the run touches less.
- **cat + fsync per file** is \`cat\` of each file followed by
  \`sync FILE\` (an \`fsync\` of that file): Tessit's work done by shell
  tools. It starts two processes per file, which for 4 KiB files costs
  more than the copying.
- **Like for like** are the rows "…, then sync": the tool's files are on
  the disk when the time stops, as Tessit's are. They are still a little
  easier than Tessit's job: one \`sync\` flushes all files together, while
  Tessit waits for each file in turn.
- The rows without \`sync\` show what a user sees of those tools; their data
  may still be lost to a power cut.
- The Tessit launcher's time is its whole run: it waits 20 ms on its
  window's timer before it starts (table 3 shows that overhead), then
  extracts, then runs the packaged installer (a do-nothing script) and
  starts the main tool (another) without waiting for it.
- makeself's archive is built with \`--nocomp --nomd5 --nocrc\`, so it
  checks no checksum, as the Linux launcher checks none (a signed Windows
  launcher checks its signature's digest: section 6); it is a shell script
  that pipes \`dd\` into \`tar\`.

"Tessit's speed against it" is that row's median divided by Tessit's: above
1, Tessit is faster.

What sets Tessit's pace: for large files, copying through its buffer while
the disk writes what it was handed (without that hand-over the disk would
start only at each file's \`fsync\`, and the copy would wait for it). For
small files, the 20 ms timer and one \`fsync\` per file, each of which
waits for its own journal commit, where the peers' single \`sync\` commits
all their files at once.

### 30 entries, $(size_label 1024) in all, mixed sizes (16 KiB to about 100 MiB)

$(cat "$results/extract-mixed.md")

### 30 entries of 4 KiB

$(cat "$results/extract-small.md")

## 2. Peak memory

Maximum resident set size (\`/usr/bin/time -f %M\`), median of all runs
(the warm-up too), of packing 30 entries of mixed sizes and of running the package. Both
copy through one fixed buffer (1 MiB for packing, 512000 bytes for
extracting), so it stays flat whatever the size.

$(memory_table)

## 3. Start-up overhead

\`bench/launcher_bench\`: from starting a packed launcher (a main tool and
three small files) to the moment its main tool starts, against starting the
same main tool directly. Of the overhead, 20 ms is the timer the launcher's
window waits on before the run begins.

$(startup_table)

## 4. Packing against cp

\`tessit-pack build\` reads the 30 files and writes one package beside them,
then forces it to disk once (\`fsync\`) and renames it into place. \`cp -r\`
copies the same files and forces nothing; "cp -r, then sync" does, and is
the like-for-like row.

$(packing_table)

## 5. Formatting

\`bench/format_bench\`: the log of one launcher run (module, certificate
table, temporary folder, OEM number, count, thirty "File" lines with one
folder made, a control, the main tool) built line by line, appended to one
text: \`appendFormat\` into a \`KxString\` (UTF-16), \`swprintf\` into a fixed
wide buffer (no allocation), and {fmt} (\`fmt::format_to\` through a
\`back_inserter\` into a \`std::wstring\`, wide like \`swprintf\`). All three write the same text.
The last column is the row's time divided by \`appendFormat\`'s: above 1,
\`appendFormat\` is faster.

$(format_table)
EOF
echo "wrote $output"
# Section 6, what a signed launcher's digest check costs, has a script of its own.
"$root/scripts/signature-performance.sh" --work "$work_parent" --output "$output" $([ "$scale" -eq 1 ] || echo --quick)

cat >>"$output" <<EOF

## 7. Size

A self-extractor's launcher is carried by every package a user downloads.
\`scripts/size-report.sh\` builds the release presets (stripped, unused
functions and data dropped by the linker; the Windows ones optimised for
size, which costs nothing that matters in a run bound by the disk) and
reads the i686 launcher's linker map.

$(cat "$results/size.md")
EOF
echo "wrote section 7 of $output"
