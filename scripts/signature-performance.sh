#!/usr/bin/env bash
# Measures what a signature costs a run: the one pass that extracts a
# signed package while it checks its signature, against the same pass over
# the same package unsigned, and writes it as section 6 of
# docs/performance.md (in place of the earlier section 6, keeping the rest)
# from scripts/performance/signature-template.md. scripts/performance.sh
# runs it with --results, which leaves the figures in its results folder for
# scripts/performance/render.py to write with the rest.
#
# The runs are timed through tessit-pack, whose `extract` is the launcher's
# own locator and pass: of a 1 GiB package of 30 entries and of one of 30
# entries of 4 KiB (scripts/performance/make-set.sh --signed: the files
# behind a small PE32 program, unsigned and signed by osslsigncode). Beside
# them `list` of the unsigned package only opens it, and `verify` of each
# signed one (once per digest algorithm) opens it and hashes the file, the
# check alone. Once natively (OpenSSL's libcrypto, the release-linux preset)
# and once with a release Windows build under Wine (CryptoAPI and CNG as
# Wine provides them): release-win32, the shipped one, where this machine's
# kernel runs 32-bit programs, otherwise release-win64, as a run under
# qemu-i386's emulation would time the emulator (--windows chooses). In
# process, bench/extraction_bench times the digest alone and the pass over
# the 1 GiB package into a memory file system, where no device write hides
# the processor's work.
#
# Usage: scripts/signature-performance.sh [--work DIR] [--windows PRESET] [--quick]
#                                         [--output FILE | --results DIR]
#   --quick    a 64 MiB package in place of 1 GiB
#   TESSIT_WINE names the Wine loader (default: the one for the build's
#   architecture, scripts/wine-loader.sh); TESSIT_WINEPREFIX the Wine prefix
#   (default: a new one in the work folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
parts=$root/scripts/performance
output=$root/docs/performance.md
results=""
work_parent=/var/tmp
windows_preset=""
package_mib=1024
while [ $# -gt 0 ]; do
  case $1 in
    --work) work_parent=$2; shift 2 ;;
    --output) output=$2; shift 2 ;;
    --results) results=$(realpath -m "$2"); shift 2 ;;
    --windows) windows_preset=$2; shift 2 ;;
    --quick) package_mib=64; shift ;;
    *) echo "usage: $0 [--work DIR] [--windows PRESET] [--quick] [--output FILE | --results DIR]" >&2; exit 2 ;;
  esac
done
. "$root/scripts/wine-loader.sh"
if [ -z "$windows_preset" ]; then
  windows_preset=release-win32
  [ -z "$(i686_native_reason)" ] || windows_preset=release-win64
fi
case $windows_preset in
  release-win32) windows_label=i686 ;;
  release-win64) windows_label=x86_64 ;;
  *) echo "$0: --windows takes release-win32 or release-win64" >&2; exit 2 ;;
esac
wine=${TESSIT_WINE:-$(wine_loader "$windows_label")}

"$root/scripts/setup.sh" hyperfine jq python3
. "$root/scripts/require.sh"
require_commands hyperfine jq python3 osslsigncode openssl "$wine" wineserver i686-w64-mingw32-gcc
(cd "$root" && cmake --preset release-linux >/dev/null &&
  cmake --build --preset release-linux -j "${TESSIT_JOBS:-2}" --target tessit tessit-pack extraction_bench >/dev/null)
(cd "$root" && cmake --preset "$windows_preset" >/dev/null &&
  cmake --build --preset "$windows_preset" -j "${TESSIT_JOBS:-2}" --target tessit-pack >/dev/null)
build=$root/build/release-linux
launcher=$build/app/tessit
packer=$build/tools/tessit-pack/tessit-pack
windows_packer=$root/build/$windows_preset/tools/tessit-pack/tessit-pack.exe

mkdir -p "$work_parent"
work=$(mktemp -d "$(cd "$work_parent" && pwd)/tessit-signature.XXXXXX")
export WINEPREFIX=${TESSIT_WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
figures=${results:-$work/results}
mkdir -p "$figures"
load() { cut -d' ' -f1-3 /proc/loadavg; }
jq -n --arg started "$(date -u '+%Y-%m-%d %H:%M UTC')" --arg load "$(load)" \
  --argjson package_mib "$package_mib" --arg preset "$windows_preset" \
  --arg windows_label "$windows_label" --arg wine "$("$wine" --version)" \
  '{started: $started, load_before: $load, package_mib: $package_mib,
    windows_preset: $preset, windows_label: $windows_label, wine_version: $wine}' >"$figures/signature.json"

# The two sets, each also signed with the other digest algorithms.
make_set() { # make_set NAME KIND BYTES
  "$parts/make-set.sh" --signed "$work/$1" "$2" "$3" "$launcher" "$packer"
  local digest
  for digest in sha1 sha384 sha512; do
    osslsigncode sign -h "$digest" -certs "$work/$1/cert.pem" -key "$work/$1/key.pem" \
      -in "$work/$1/unsigned.exe" -out "$work/$1/signed-$digest.exe" >/dev/null
  done
}
echo "signature: packages of $package_mib MiB and of 30 entries of 4 KiB"
make_set large mixed $((package_mib << 20))
make_set small small 0

# One persistent server for every Wine run, so no run pays for starting it.
"$wine" wineboot --init >/dev/null 2>&1
wineserver --wait
wineserver -p

windows_command="'$wine' '$("$wine" winepath -w "$windows_packer" 2>/dev/null | tr -d '\r')'"
for system in linux windows; do
  command="'$packer'"
  [ "$system" = linux ] || command=$windows_command
  echo "signature: $system, $package_mib MiB"
  "$parts/measure.sh" signature "$work/large" "$figures/signature-$system" 5 "$command"
  echo "signature: $system, 30 entries of 4 KiB"
  "$parts/measure.sh" signature "$work/small" "$figures/signature-$system-small" 10 "$command"
done

echo "signature: in process"
"$build/bench/extraction_bench" --benchmark_repetitions=5 --benchmark_format=json \
  --benchmark_out="$figures/signature-bench.json" --benchmark_out_format=json "$work/large" /dev/shm >/dev/null 2>&1
jq --arg load "$(load)" '. + {load_after: $load}' "$figures/signature.json" >"$figures/signature.json.new"
mv "$figures/signature.json.new" "$figures/signature.json"

if [ -n "$results" ]; then
  echo "wrote the signature's figures into $results"
else
  python3 "$parts/render.py" --signature "$figures" "$output"
  echo "wrote section 6 of $output"
fi
