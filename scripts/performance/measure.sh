#!/usr/bin/env bash
# Takes the figures for scripts/performance.sh and writes them as files that
# scripts/performance/render.py reads; nothing here formats a figure.
#
#   measure.sh machine WORK OUT.json
#       what the run is made on: processor, memory, system, WORK's file
#       system, the load average before the run, the tools' versions.
#   measure.sh extraction SET OUT
#       the extraction of a set made with --peers, by the limit, cat with a
#       per-file fsync, the Tessit launcher and the peers (each once as it
#       is and once followed by sync): OUT.json from hyperfine, 10 runs;
#       OUT-pairs.txt, the nanoseconds of the limit and of Tessit in 8
#       alternating pairs of runs, one pair a line; and OUT-files.txt, the
#       sizes of the extracted files, one a line.
#   measure.sh sizes SET OUT LAUNCHER PACKER
#       packing the set's files into a new package, copying them with cp,
#       running the package, and extracting it unsigned and signed with
#       PACKER (a set made with --signed): OUT.json from hyperfine, 5 runs,
#       and the peak memory of every run (the warm-up too) of packing,
#       running and each extraction, in KiB one a line, in OUT-pack.rss,
#       OUT-run.rss, OUT-extract-unsigned.rss and OUT-extract-signed.rss.
#   measure.sh signature SET OUT RUNS PACKER
#       in a set made with --signed and signed once more per digest
#       algorithm (signed-sha1.exe, signed-sha384.exe, signed-sha512.exe;
#       signed.exe is SHA-256), the command PACKER (a shell word list: a
#       Wine loader and tessit-pack.exe, say) opening the unsigned package
#       (`list`), checking each signed one (`verify`, the hash alone) and
#       extracting the package unsigned and signed: OUT.json from hyperfine,
#       RUNS runs; and OUT-pairs.txt, the nanoseconds of the unsigned and the
#       signed extraction in 8 alternating pairs of runs, one pair a line.
#   measure.sh benchmarks BENCH WORK OUT
#       bench/launcher_bench (its packages under WORK) and bench/format_bench
#       from the folder BENCH: OUT-launcher.json and OUT-format.json from
#       Google Benchmark, 10 repetitions.
#
# Every command is timed in the set's folder, with the set's own temporary
# and configuration folders, and starts from an empty target and a clean
# disk: the previous run's output is deleted and everything written so far
# is on the device (with the file system's discard option, freeing blocks
# costs time at the next commit, which must not fall into a timed run).
set -euo pipefail

prepare="rm -rf out tmp/tessit-$(id -u) copy packed && mkdir out && sync"

# enter_set SET: work in SET with its own temporary and configuration folders.
enter_set() {
  cd "$1"
  export TMPDIR=$1/tmp XDG_CONFIG_HOME=$1/config
}

# time_with_hyperfine OUT.json RUNS -n NAME COMMAND...: one warm-up run, then
# RUNS timed ones of each command, each after `prepare`.
time_with_hyperfine() {
  local json=$1 runs=$2
  shift 2
  hyperfine --style basic --warmup 1 --runs "$runs" --prepare "$prepare" --export-json "$json" "$@" \
    >"$json.log" 2>&1 || { cat "$json.log" >&2; exit 1; }
}

# check_output COMMAND FOLDER: the command, once, must give back exactly the
# packed files in FOLDER before its runs are timed. It runs through `sh -c`,
# as hyperfine runs it.
check_output() {
  sh -c "$prepare"
  sh -c "$1" >/dev/null
  diff -r -x '*.lock' in "$2" >/dev/null || { echo "$1: wrong output" >&2; exit 1; }
}

# nanoseconds_of COMMAND...: one run from a clean start.
nanoseconds_of() {
  local start
  sh -c "$prepare"
  start=$(date +%s%N)
  "$@" >/dev/null
  echo $(($(date +%s%N) - start))
}

measure_machine() {
  local work=$1 out=$2
  local os_name
  os_name=$(. /etc/os-release && echo "$PRETTY_NAME")
  jq -n \
    --arg started "$(date -u '+%Y-%m-%d %H:%M UTC')" \
    --arg load "$(cut -d' ' -f1-3 /proc/loadavg)" \
    --arg processor "$(lscpu | sed -n 's/^Model name: *//p')" \
    --arg cores "$(nproc)" \
    --arg memory_kib "$(sed -n 's/^MemTotal: *\([0-9]*\) kB/\1/p' /proc/meminfo)" \
    --arg system "$os_name" \
    --arg kernel "$(uname -r)" \
    --arg filesystem "$(findmnt -no FSTYPE -T "$work")" \
    --arg mount_options "$(findmnt -no OPTIONS -T "$work")" \
    --arg tar "$(tar --version | head -1)" \
    --arg unzip "UnZip $(unzip -v | head -1 | cut -d' ' -f2)" \
    --arg sevenzip "$(7z | sed -n 2p | cut -d: -f1 | sed 's/ *$//')" \
    --arg makeself "$(makeself --version)" \
    --arg hyperfine "$(hyperfine --version)" \
    --arg compiler "$(gcc --version | head -1)" \
    '{started: $started, load_before: $load, processor: $processor, cores: $cores,
      memory_kib: ($memory_kib | tonumber), system: $system, kernel: $kernel,
      filesystem: $filesystem, mount_options: $mount_options,
      tools: [$tar, $unzip, $sevenzip, $makeself, $hyperfine, $compiler]}' >"$out"
}

measure_extraction() {
  local set=$1 out=$2 name command rows
  enter_set "$set"
  find in -type f -printf '%s\n' >"$out-files.txt"
  rows=(-n "direct I/O, 4 writers (the limit)" "sh direct-io.sh")
  check_output "sh cat-fsync.sh" out
  rows+=(-n "cat + fsync per file" "sh cat-fsync.sh")
  check_output ./Setup "tmp/tessit-$(id -u)"
  rows+=(-n "Tessit launcher" ./Setup)
  while IFS='|' read -r name command; do
    check_output "$command" out
    rows+=(-n "$name" "$command" -n "$name, then sync" "$command && sync")
  done <<'PEERS'
tar -x|tar -xf set.tar -C out
unzip|unzip -q set.zip -d out
7z x|7z x -bd -bso0 -bsp0 -oout set.7z
makeself --noexec|./set.run --quiet --noexec --nox11 --target out
PEERS
  time_with_hyperfine "$out.json" 10 "${rows[@]}"

  # Tessit's time against the limit's, run by run in alternating pairs,
  # which the disk's drift in the course of a run touches less than medians
  # of runs taken one tool after the other.
  for _ in $(seq 8); do
    echo "$(nanoseconds_of sh direct-io.sh) $(nanoseconds_of ./Setup)"
  done >"$out-pairs.txt"
}

# Every timed run of packing, of the launcher and of an extraction is
# wrapped in /usr/bin/time, so that it also gives its peak memory.
measure_sizes() {
  local set=$1 out=$2 launcher=$3 packer=$4 kind
  enter_set "$set"
  rm -f ./*.rss
  time_with_hyperfine "$out.json" 5 \
    -n "tessit-pack build" "/usr/bin/time -a -o pack.rss -f %M $packer build -l $launcher -o packed --oem 47 in >/dev/null" \
    -n "cp -r" "cp -r in copy" \
    -n "cp -r, then sync" "cp -r in copy && sync" \
    -n "Tessit launcher" "/usr/bin/time -a -o run.rss -f %M ./Setup" \
    -n "tessit-pack extract, unsigned" \
    "/usr/bin/time -a -o extract-unsigned.rss -f %M $packer extract unsigned.exe -C out >/dev/null" \
    -n "tessit-pack extract, signed" \
    "/usr/bin/time -a -o extract-signed.rss -f %M $packer extract signed.exe -C out >/dev/null"
  for kind in pack run extract-unsigned extract-signed; do
    cp "$kind.rss" "$out-$kind.rss"
  done
}

# The one pass over a package signed and unsigned. Both extractions must
# give back the packed files before they are timed.
measure_signature() {
  local set=$1 out=$2 runs=$3 packer=$4 digest
  enter_set "$set"
  local unsigned="$packer extract unsigned.exe -C out" signed="$packer extract signed.exe -C out"
  check_output "$unsigned" out
  check_output "$signed" out
  local rows=(-n "open" "$packer list unsigned.exe")
  for digest in sha1 sha256 sha384 sha512; do
    rows+=(-n "check, $digest" "$packer verify signed$([ "$digest" = sha256 ] || echo "-$digest").exe")
  done
  rows+=(-n "extract, unsigned" "$unsigned" -n "extract, signed" "$signed")
  time_with_hyperfine "$out.json" "$runs" "${rows[@]}"

  # Signed against unsigned, run by run in alternating pairs, which the
  # disk's and the machine's drift touch less than medians of runs taken
  # one command after the other.
  for _ in $(seq 8); do
    echo "$(nanoseconds_of sh -c "$unsigned") $(nanoseconds_of sh -c "$signed")"
  done >"$out-pairs.txt"
}

measure_benchmarks() {
  local bench=$1 work=$2 out=$3
  TMPDIR=$work "$bench/launcher_bench" --benchmark_repetitions=10 --benchmark_format=json \
    --benchmark_out="$out-launcher.json" --benchmark_out_format=json >/dev/null 2>&1
  "$bench/format_bench" --benchmark_repetitions=10 --benchmark_format=json \
    --benchmark_out="$out-format.json" --benchmark_out_format=json >/dev/null 2>&1
}

usage() {
  echo "usage: $0 machine WORK OUT.json | extraction SET OUT | sizes SET OUT LAUNCHER PACKER |" \
    "signature SET OUT RUNS PACKER | benchmarks BENCH WORK OUT" >&2
  exit 2
}

case ${1:-} in
  machine) [ $# -eq 3 ] || usage; measure_machine "$2" "$3" ;;
  extraction) [ $# -eq 3 ] || usage; measure_extraction "$2" "$3" ;;
  sizes) [ $# -eq 5 ] || usage; measure_sizes "$2" "$3" "$4" "$5" ;;
  signature) [ $# -eq 5 ] || usage; measure_signature "$2" "$3" "$4" "$5" ;;
  benchmarks) [ $# -eq 4 ] || usage; measure_benchmarks "$2" "$3" "$4" ;;
  *) usage ;;
esac
