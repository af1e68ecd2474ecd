#!/usr/bin/env bash
# Makes one set of test data for scripts/performance.sh: 30 entries in
# FOLDER/in, every third data file in a sub-folder, the installer and main
# tool two of them, packed into FOLDER/Setup by LAUNCHER and PACKER.
#   KIND mixed: ten small files of 16 KiB to 1.6 MiB and eighteen large ones
#               of growing sizes that fill BYTES;
#   KIND small: 28 data files of 4 KiB (BYTES is not used).
# With --peers it also writes what the extraction is compared with: the same
# files as a plain tar, a stored zip, a stored 7z and a makeself archive
# without compression or checksums (the Linux launcher verifies no content
# either), cat-fsync.sh (cat of each file followed by its fsync, `sync FILE`)
# and direct-io.sh, the limit.
# With --signed it also packs the same files behind the smallest PE32
# program (tests/package/tiny-program.c) into FOLDER/unsigned.exe, and signs
# that with osslsigncode, SHA-256 and a throwaway certificate (FOLDER/cert.pem
# and key.pem, for further signatures) into FOLDER/signed.exe: the one
# package a signed and an unsigned run extract.
#
# Usage: scripts/performance/make-set.sh [--peers] [--signed] FOLDER mixed|small BYTES LAUNCHER PACKER
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
peers=no signed=no
while [ $# -gt 0 ]; do
  case $1 in
    --peers) peers=yes; shift ;;
    --signed) signed=yes; shift ;;
    *) break ;;
  esac
done
[ $# -eq 5 ] || { echo "usage: $0 [--peers] [--signed] FOLDER mixed|small BYTES LAUNCHER PACKER" >&2; exit 2; }
set_folder=$1 kind=$2 total=$3 launcher=$(realpath "$4") packer=$(realpath "$5")

# The package's installer and main tool do nothing, padded to 4 KiB, so a
# launcher run is all extraction.
write_program() {
  local body=$'#!/bin/sh\nexit 0\n'
  { printf '%s' "$body"; head -c $((4096 - ${#body} - 1)) /dev/zero | tr '\0' '#'; echo; } >"$1"
  chmod +x "$1"
}

# Cheap incompressible bytes: AES-CTR of zeros, keyed by the file's name.
write_data() {
  head -c "$2" <(openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$1" </dev/zero 2>/dev/null) >"$1"
}

data_sizes=()
if [ "$kind" = small ]; then
  for i in $(seq 1 28); do data_sizes+=(4096); done
else
  small_sum=0
  for i in $(seq 1 10); do
    data_sizes+=($((i * i * 16384)))
    small_sum=$((small_sum + i * i * 16384))
  done
  # 1 + 2 + ... + 18 = 171 shares; the last file takes what rounding left.
  large_left=$((total - small_sum - 2 * 4096)) assigned=0
  for i in $(seq 1 18); do
    size=$((large_left * i / 171))
    [ "$i" -ne 18 ] || size=$((large_left - assigned))
    assigned=$((assigned + size))
    data_sizes+=("$size")
  done
fi

mkdir -p "$set_folder/in/docs" "$set_folder/tmp" "$set_folder/config"
write_program "$set_folder/in/mDNSResponder.exe"
write_program "$set_folder/in/QIRA_t.exe"
for i in "${!data_sizes[@]}"; do
  folder=""
  [ $((i % 3)) -ne 2 ] || folder=docs/
  write_data "$set_folder/in/${folder}data$((i + 1)).bin" "${data_sizes[$i]}"
done
"$packer" build -l "$launcher" -o "$set_folder/Setup" --oem 47 "$set_folder/in" >/dev/null

cd "$set_folder"
if [ "$signed" = yes ]; then
  i686-w64-mingw32-gcc -O2 -s -o launcher.exe "$root/tests/package/tiny-program.c"
  "$packer" build -l launcher.exe -o unsigned.exe --oem 47 in >/dev/null
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessit benchmark" \
    -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem 2>/dev/null
  osslsigncode sign -h sha256 -certs cert.pem -key key.pem -in unsigned.exe -out signed.exe >/dev/null
fi

[ "$peers" = yes ] || exit 0
tar -cf set.tar -C in .
(cd in && zip -q -0 -r ../set.zip . && 7z a -bd -bso0 -bsp0 -mx=0 ../set.7z . >/dev/null)
makeself --quiet --nocomp --nomd5 --nocrc in set.run tessit-bench ./QIRA_t.exe >/dev/null

mapfile -t files < <(cd in && find . -type f | sort)
{
  echo "mkdir -p out/docs"
  for name in "${files[@]}"; do echo "cat in/$name >out/$name && sync out/$name"; done
} >cat-fsync.sh

# The limit: the device's own pace for the same number of bytes. Four
# writers in parallel put a quarter each (rounded up to 4 KiB) into files of
# their own with direct I/O in 64 MiB blocks, so no page cache and no
# copying stand in the way, then fsync them as Tessit does its files. The
# bytes come from the tar, which is in the page cache.
mapfile -t file_sizes < <(find in -type f -printf '%s\n')
bytes=0
for size in "${file_sizes[@]}"; do bytes=$((bytes + size)); done
share=$(((bytes / 4 + 4095) / 4096 * 4096))
{
  for writer in 0 1 2 3; do
    echo "dd if=set.tar of=out/direct-$writer bs=64M iflag=skip_bytes,count_bytes skip=$((writer * share))" \
      "count=$share oflag=direct conv=fsync status=none &"
  done
  echo "wait"
} >direct-io.sh
