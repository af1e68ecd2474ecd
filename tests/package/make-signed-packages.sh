#!/usr/bin/env bash
# Packs each stand-in launcher with a small package, written byte by byte
# without the packer (which a cross build cannot run here), and signs the
# result with osslsigncode and a throwaway certificate, once per digest
# algorithm: LAUNCHER-sha256.exe, LAUNCHER-sha1.exe, LAUNCHER-sha512.exe;
# and LAUNCHER-signature-removed.exe, the SHA-256 one after
# `osslsigncode remove-signature`, which keeps the signer's zero padding
# behind the footer.
# The package: QIRA_t.exe ("signed main tool\n") and docs\data.bin (600000
# bytes, more than one copy block), OEM number 47.
# Usage: make-signed-packages.sh OUTPUT_FOLDER LAUNCHER.exe...
set -euo pipefail
output=$1; shift
mkdir -p "$output"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

byte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
word() { byte "$1"; byte $(($1 >> 8)); byte $(($1 >> 16)); byte $(($1 >> 24)); }
# 64 UTF-16LE units: the name, then zeros.
name_slot() {
  local name=$1 index
  for ((index = 0; index < ${#name}; index++)); do printf '%s\0' "${name:index:1}"; done
  head -c $((128 - 2 * ${#name})) /dev/zero
}

printf 'signed main tool\n' >"$work/main"
head -c 600000 < <(yes 'the data of a signed package') >"$work/data"
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Tessit test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

for launcher in "$@"; do
  name=$(basename "$launcher" .exe)
  header_offset=$(stat -c %s "$launcher")
  {
    cat "$launcher"
    word 47
    word 2
    word "$(stat -c %s "$work/main")"
    word "$(stat -c %s "$work/data")"
    name_slot 'QIRA_t.exe'
    name_slot 'docs\data.bin'
    cat "$work/main" "$work/data"
    word $((0xFEBA37D1))
    word "$header_offset"
  } >"$work/$name.exe"
  for algorithm in sha256 sha1 sha512; do
    osslsigncode sign -h "$algorithm" -certs "$work/cert.pem" -key "$work/key.pem" \
      -in "$work/$name.exe" -out "$work/$name-$algorithm.exe" >/dev/null
    mv "$work/$name-$algorithm.exe" "$output/"
  done
  osslsigncode remove-signature -in "$output/$name-sha256.exe" -out "$work/$name-signature-removed.exe" >/dev/null
  mv "$work/$name-signature-removed.exe" "$output/"
done
