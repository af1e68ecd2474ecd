#!/usr/bin/env bash
# Measures what a signed launcher's signature check costs at start-up,
# against extracting the same 1 GiB package, and writes it as section 6 of
# docs/performance.md (in place of the earlier section 6, keeping the rest)
# from scripts/performance/signature-template.md. scripts/performance.sh
# runs it with --results, which leaves the figures in its results folder for
# scripts/performance/render.py to write with the rest.
#
# The check is timed through tessit-pack, which runs the launcher's own
# locator, check and extraction: `list` of the unsigned package opens it
# (the baseline), `verify` of a signed one opens and checks it (once per
# digest algorithm), `extract` of the unsigned one opens and extracts it; the
# differences to the baseline are the check and the extraction. Once
# natively (OpenSSL's libcrypto, the release-linux preset) and once with a
# release Windows build under Wine (CryptoAPI and CNG as Wine provides
# them): release-win32, the shipped one, unless --windows names
# release-win64, for a machine that runs no 32-bit programs.
#
# Usage: scripts/signature-performance.sh [--work DIR] [--windows PRESET] [--quick]
#                                         [--output FILE | --results DIR]
#   --quick    a 64 MiB package in place of 1 GiB
#   TESSIT_WINE names the Wine loader (default: wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=$root/docs/performance.md
results=""
work_parent=/var/tmp
windows_preset=release-win32
file_mib=64
wine=${TESSIT_WINE:-wine}
while [ $# -gt 0 ]; do
  case $1 in
    --work) work_parent=$2; shift 2 ;;
    --output) output=$2; shift 2 ;;
    --results) results=$2; shift 2 ;;
    --windows) windows_preset=$2; shift 2 ;;
    --quick) file_mib=4; shift ;;
    *) echo "usage: $0 [--work DIR] [--windows PRESET] [--quick] [--output FILE | --results DIR]" >&2; exit 2 ;;
  esac
done
case $windows_preset in
  release-win32) windows_label=i686 ;;
  release-win64) windows_label=x86_64 ;;
  *) echo "$0: --windows takes release-win32 or release-win64" >&2; exit 2 ;;
esac
package_mib=$((16 * file_mib))

"$root/scripts/setup.sh" hyperfine jq python3
. "$root/scripts/require.sh"
require_commands hyperfine jq python3 osslsigncode openssl "$wine" wineserver i686-w64-mingw32-gcc
for preset in release-linux "$windows_preset"; do
  (cd "$root" && cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "${TESSIT_JOBS:-2}" --target tessit-pack >/dev/null)
done
packer=$root/build/release-linux/tools/tessit-pack/tessit-pack
windows_packer=$root/build/$windows_preset/tools/tessit-pack/tessit-pack.exe

mkdir -p "$work_parent"
work=$(mktemp -d "$(cd "$work_parent" && pwd)/tessit-signature.XXXXXX")
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
figures=${results:-$work/results}
mkdir -p "$figures"
jq -n --arg started "$(date -u '+%Y-%m-%d %H:%M UTC')" --arg load "$(cut -d' ' -f1-3 /proc/loadavg)" \
  --argjson file_mib "$file_mib" --argjson package_mib "$package_mib" --arg preset "$windows_preset" \
  --arg windows_label "$windows_label" --arg wine "$("$wine" --version)" \
  '{started: $started, load_before: $load, file_mib: $file_mib, package_mib: $package_mib,
    windows_preset: $preset, windows_label: $windows_label, wine_version: $wine}' >"$figures/signature.json"

# 16 files of incompressible data (AES-CTR of zeros), behind the smallest
# PE32 launcher, signed with each digest algorithm.
mkdir -p in out
for i in $(seq 1 16); do
  head -c $((file_mib << 20)) <(openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$i" </dev/zero 2>/dev/null) \
    >"in/data$i.bin"
done
i686-w64-mingw32-gcc -O2 -s -o launcher.exe "$root/tests/package/tiny-program.c"
"$packer" build -l launcher.exe -o unsigned.exe --oem 47 in >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessit benchmark" \
  -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem 2>/dev/null
for algorithm in sha1 sha256 sha384 sha512; do
  osslsigncode sign -h "$algorithm" -certs cert.pem -key key.pem -in unsigned.exe -out "signed-$algorithm.exe" >/dev/null
done
rm -rf in

# One persistent server for every Wine run, so no run pays for starting it.
"$wine" wineboot --init >/dev/null 2>&1
wineserver --wait
wineserver -p

# measure JSON PACKER: the commands, each run after `out` was emptied and
# everything written so far was put on the disk. A check that does not hold
# fails the run.
measure() {
  local json=$1 packer=$2
  hyperfine --style basic --warmup 1 --runs 5 --prepare "rm -rf out && mkdir out && sync" \
    --export-json "$json" \
    -n open "$packer list unsigned.exe" \
    -n sha1 "$packer verify signed-sha1.exe" \
    -n sha256 "$packer verify signed-sha256.exe" \
    -n sha384 "$packer verify signed-sha384.exe" \
    -n sha512 "$packer verify signed-sha512.exe" \
    -n extract "$packer extract unsigned.exe -C out" >"$json.log" 2>&1 || { cat "$json.log" >&2; exit 1; }
}
measure "$figures/signature-linux.json" "'$packer'"
measure "$figures/signature-windows.json" "'$wine' '$("$wine" winepath -w "$windows_packer" 2>/dev/null | tr -d '\r')'"

if [ -n "$results" ]; then
  echo "wrote the signature check's figures into $results"
else
  python3 "$root/scripts/performance/render.py" --signature "$figures" "$output"
  echo "wrote section 6 of $output"
fi
