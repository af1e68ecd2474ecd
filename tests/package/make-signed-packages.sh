#!/usr/bin/env bash
# Packs each stand-in launcher with a small package, written byte by byte
# without the packer (which a cross build cannot run here), and signs the
# result with osslsigncode and a throwaway certificate:
#   LAUNCHER-md5.exe, -sha1.exe, -sha256.exe, -sha384.exe, -sha512.exe
#                                   one per digest algorithm
#   LAUNCHER-resigned.exe           the SHA-256 one signed again with SHA-384 (the signature replaced)
#   LAUNCHER-nested.exe             the SHA-256 one with a nested SHA-512 signature
#   LAUNCHER-signature-removed.exe  the SHA-256 one after `osslsigncode remove-signature`,
#                                   which keeps the signer's zero padding behind the footer
# and, as an attacker without the key would, from the SHA-256 one with the
# main tool's first byte changed:
#   LAUNCHER-forged-digest.exe      the file digest in the signed indirect data
#                                   overwritten in place to match
#   LAUNCHER-forged-attributes.exe  that, and the messageDigest attribute
#                                   overwritten to match the changed indirect data
# osslsigncode must verify each signed one and find the signer's signature
# broken in each forged one, its file digest matching.
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
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Tessit test signer/O=Tessit tests" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

sign() { # sign INPUT OUTPUT OPTION...
  local input=$1 output=$2; shift 2
  rm -f "$output"
  osslsigncode sign "$@" -certs "$work/cert.pem" -key "$work/key.pem" -in "$input" -out "$output" >/dev/null
  verify "$output" >"$work/report" || { cat "$work/report" >&2; exit 1; }
}
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1; }
# The hex digits after "NAME:" in osslsigncode's report of the primary signature.
report_field() { sed -n "s/^[[:space:]]*$1[[:space:]]*: \([0-9A-F]*\).*/\1/p" "$2" | head -1; }
# Overwrites in FILE the one place that holds the bytes OLD with NEW (hex).
overwrite_bytes() {
  local file=$1 old=${2,,} new=${3,,} at
  [ -n "$old" ] && [ ${#old} = ${#new} ] || { echo "make-signed-packages: no digest to replace in $file" >&2; exit 1; }
  at=$(xxd -p "$file" | tr -d '\n' | awk -v old="$old" '{
    at = index($0, old); again = index(substr($0, at + 1), old)
    print (at % 2 == 1 && again == 0) ? (at - 1) / 2 : -1 }')
  [ "$at" -ge 0 ] || { echo "make-signed-packages: the digest is not in $file exactly once" >&2; exit 1; }
  printf '%s' "$new" | xxd -r -p | dd of="$file" bs=1 seek="$at" conv=notrunc status=none
}
# The SHA-256 of the contents octets of the SpcIndirectDataContent in FILE's
# signature: what its messageDigest attribute must hold.
indirect_data_digest() {
  rm -f "$work/signature.der"
  osslsigncode extract-signature -in "$1" -out "$work/signature.der" >/dev/null
  local offset header length
  read -r offset header length < <(openssl asn1parse -inform DER -in "$work/signature.der" |
    awk '/:1.3.6.1.4.1.311.2.1.4$/ { found = 1; next }
         found && /cons: SEQUENCE/ { split($0, f, /[:= ]+/); print f[2], f[6], f[8]; exit }')
  tail -c +$((offset + header + 1)) "$work/signature.der" | head -c "$length" | openssl dgst -sha256 -binary | xxd -p -c 64
}
# osslsigncode finds the file digest matching and the signer's signature
# broken, for REASON: its messageDigest or the signature over the attributes.
expect_forged() { # expect_forged FILE REASON
  verify "$1" >"$work/report" && { echo "make-signed-packages: osslsigncode accepts $1" >&2; exit 1; }
  grep -q 'Signature verification: failed' "$work/report" && grep -q "$2" "$work/report" &&
    [ "$(report_field 'Current message digest' "$work/report")" = "$(report_field 'Calculated message digest' "$work/report")" ] ||
    { cat "$work/report" >&2; echo "make-signed-packages: $1 is not forged as meant" >&2; exit 1; }
}

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
  for algorithm in md5 sha1 sha256 sha384 sha512; do
    sign "$work/$name.exe" "$output/$name-$algorithm.exe" -h "$algorithm"
  done
  signed=$output/$name-sha256.exe
  sign "$signed" "$output/$name-resigned.exe" -h sha384
  sign "$signed" "$output/$name-nested.exe" -nest -h sha512
  osslsigncode remove-signature -in "$signed" -out "$work/$name-signature-removed.exe" >/dev/null
  mv "$work/$name-signature-removed.exe" "$output/"

  # The main tool's first byte, 'signed' becoming 'Signed'.
  forged=$work/$name-forged-digest.exe
  cp "$signed" "$forged"
  printf 'S' | dd of="$forged" bs=1 seek=$((header_offset + 8 + 2 * 4 + 2 * 128)) conv=notrunc status=none
  verify "$forged" >"$work/report" || true
  overwrite_bytes "$forged" "$(report_field 'Current message digest' "$work/report")" \
    "$(report_field 'Calculated message digest' "$work/report")"
  expect_forged "$forged" 'PKCS7_signatureVerify:digest failure'

  forged_attributes=$work/$name-forged-attributes.exe
  cp "$forged" "$forged_attributes"
  verify "$forged" >"$work/report" || true
  overwrite_bytes "$forged_attributes" "$(report_field 'Message digest' "$work/report")" \
    "$(indirect_data_digest "$forged")"
  expect_forged "$forged_attributes" 'rsa_verify:bad signature'
  mv "$forged" "$forged_attributes" "$output/"
done
