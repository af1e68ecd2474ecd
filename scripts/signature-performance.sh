#!/usr/bin/env bash
# Measures what a signed launcher's digest check costs at start-up, against
# extracting the same 1 GiB package, and writes it as section 6 of
# docs/performance.md (in place of the earlier section 6, keeping the rest).
# scripts/performance.sh runs it with --section, which writes the section
# alone into FILE for that script to place.
#
# The check is timed through tessit-pack, which runs the launcher's own
# locator, check and extraction: `list` of the unsigned package opens it
# (the baseline), `verify` of the signed one opens and checks it, `extract`
# of the unsigned one opens and extracts it; the differences to the baseline
# are the check and the extraction. Once natively (OpenSSL's libcrypto) and
# once with the shipped i686 Windows build under Wine (CryptoAPI and CNG as
# Wine provides them).
#
# Usage: scripts/signature-performance.sh [--work DIR] [--output FILE | --section FILE] [--quick]
#   --quick  a 64 MiB package in place of 1 GiB
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
output=$root/docs/performance.md
section_only=""
work_parent=/var/tmp
file_mib=64
while [ $# -gt 0 ]; do
  case $1 in
    --work) work_parent=$2; shift 2 ;;
    --output) output=$2; shift 2 ;;
    --section) section_only=$2; shift 2 ;;
    --quick) file_mib=4; shift ;;
    *) echo "usage: $0 [--work DIR] [--output FILE | --section FILE] [--quick]" >&2; exit 2 ;;
  esac
done
package_mib=$((16 * file_mib))

"$root/scripts/setup.sh" hyperfine jq
. "$root/scripts/require.sh"
require_commands hyperfine jq osslsigncode openssl wine wineserver i686-w64-mingw32-gcc
linux_build=$root/build/perf-linux
windows_build=$root/build/perf-win32
cmake -S "$root" -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$linux_build" -j "${TESSIT_JOBS:-2}" --target tessit-pack >/dev/null
cmake -S "$root" -B "$windows_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
cmake --build "$windows_build" -j "${TESSIT_JOBS:-2}" --target tessit-pack >/dev/null
packer=$linux_build/tools/tessit-pack/tessit-pack
windows_packer=$windows_build/tools/tessit-pack/tessit-pack.exe

mkdir -p "$work_parent"
work=$(mktemp -d "$(cd "$work_parent" && pwd)/tessit-signature.XXXXXX")
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
started=$(date -u '+%Y-%m-%d %H:%M UTC')
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
runs=5

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
for algorithm in sha256 sha1; do
  osslsigncode sign -h "$algorithm" -certs cert.pem -key key.pem -in unsigned.exe -out "signed-$algorithm.exe" >/dev/null
done
rm -rf in

# One persistent server for every Wine run, so no run pays for starting it.
wineboot --init >/dev/null 2>&1
wineserver --wait
wineserver -p

# measure JSON PACKER: the four commands, each run after `out` was emptied
# and everything written so far was put on the disk. A check that does not
# match fails the run.
measure() {
  local json=$1 packer=$2
  hyperfine --style basic --warmup 1 --runs "$runs" --prepare "rm -rf out && mkdir out && sync" \
    --export-json "$json" \
    -n open "$packer list unsigned.exe" \
    -n sha256 "$packer verify signed-sha256.exe" \
    -n sha1 "$packer verify signed-sha1.exe" \
    -n extract "$packer extract unsigned.exe -C out" >"$json.log" 2>&1 || { cat "$json.log" >&2; exit 1; }
}
measure linux.json "'$packer'"
measure windows.json "wine '$(winepath -w "$windows_packer" 2>/dev/null | tr -d '\r')'"

median() { jq -r --arg name "$2" '.results[] | select(.command == $name) | .median' "$1"; }
cell() { awk "BEGIN { printf \"$1\", $2 }"; }
column() { # column JSON ROW
  local json=$1 open sha256 sha1 extract
  open=$(median "$json" open) sha256=$(median "$json" sha256) sha1=$(median "$json" sha1)
  extract=$(median "$json" extract)
  case $2 in
    open) cell "%.0f ms" "$open * 1000" ;;
    sha256) cell "%.0f ms" "$sha256 * 1000" ;;
    sha1) cell "%.0f ms" "$sha1 * 1000" ;;
    extract) cell "%.0f ms" "$extract * 1000" ;;
    check256) cell "%.0f ms (%.0f MiB/s)" "($sha256 - $open) * 1000, $package_mib / ($sha256 - $open)" ;;
    check1) cell "%.0f ms (%.0f MiB/s)" "($sha1 - $open) * 1000, $package_mib / ($sha1 - $open)" ;;
    extraction) cell "%.0f ms (%.0f MiB/s)" "($extract - $open) * 1000, $package_mib / ($extract - $open)" ;;
    ratio256) cell "%.2f" "($sha256 - $open) / ($extract - $open)" ;;
    ratio1) cell "%.2f" "($sha1 - $open) / ($extract - $open)" ;;
  esac
}
row() { echo "| $1 | $(column linux.json "$2") | $(column windows.json "$2") |"; }

section=$work/section.md
cat >"$section" <<EOF
## 6. Signature check at start-up

Written by \`scripts/signature-performance.sh\` on $started (load average
before the run: $load_before); reproduce with that command.

A signed Windows launcher hashes its whole file ($package_mib MiB here: 16 files of
$file_mib MiB behind a small PE32 launcher) before it writes anything, and compares
the digest with its signature's. The rows time \`tessit-pack\`, which runs
the launcher's own locator, check and extraction: \`list\` of the unsigned
package only opens it, \`verify\` of the signed one (signed by
\`osslsigncode\`) opens and checks it, \`extract\` of the unsigned one opens
and extracts it, forcing each file to disk as the launcher does. The check's
and the extraction's costs are those times less the opening's. Natively
with OpenSSL's libcrypto, and with the shipped i686 Windows build under Wine
$(wine --version), whose CNG hashes in its own code (Windows' own CNG
uses the processor's SHA instructions, as OpenSSL does here). Medians of
$runs runs after one warm-up; the file is in the page cache.

| | Linux (OpenSSL) | Windows i686 under Wine |
|---|---:|---:|
$(row "open the package (\`list\`, unsigned)" open)
$(row "open and check, SHA-256 (\`verify\`)" sha256)
$(row "open and check, SHA-1 (\`verify\`)" sha1)
$(row "open and extract (\`extract\`, unsigned)" extract)
$(row "**the check, SHA-256**" check256)
$(row "**the check, SHA-1**" check1)
$(row "**the extraction**" extraction)
$(row "the check against the extraction, SHA-256" ratio256)
$(row "the check against the extraction, SHA-1" ratio1)

The check reads the file once, in the copy buffer's 512000-byte blocks, so
its cost is that of hashing the file: it grows with the package, as the
extraction does, and an unsigned launcher does not pay it.
EOF

if [ -n "$section_only" ]; then
  mkdir -p "$(dirname "$section_only")"
  cp "$section" "$section_only"
  echo "wrote section 6 into $section_only"
  exit 0
fi

# The section takes the place of an earlier section 6, up to the next
# section's heading; a document without one gets it at its end.
mkdir -p "$(dirname "$output")"
[ -f "$output" ] || echo "# Performance" >"$output"
placed=no skipping=no
while IFS= read -r line || [ -n "$line" ]; do
  if [[ $line == "## 6. "* ]]; then
    cat "$section"
    placed=yes skipping=yes
  elif [ "$skipping" = yes ] && [[ $line == "## "* ]]; then
    echo
    echo "$line"
    skipping=no
  elif [ "$skipping" = no ]; then
    echo "$line"
  fi
done <"$output" >"$work/document.md"
[ "$placed" = yes ] || { echo; cat "$section"; } >>"$work/document.md"
cp "$work/document.md" "$output"
echo "wrote section 6 of $output"
