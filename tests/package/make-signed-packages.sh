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
#   LAUNCHER-ecdsa.exe              signed with SHA-256 and a P-256 ECDSA key
#   LAUNCHER-hostile-signer.exe     signed by a certificate whose names hold an OSC
#                                   sequence, a mark that reverses the line and an
#                                   8-bit CSI, as any author may choose them
#   LAUNCHER-escaped-signer.exe    signed by a certificate whose names hold the
#                                   characters a one-line name escapes, a name
#                                   of several attributes, a type no library
#                                   names and values in BMPString, PrintableString
#                                   and IA5String, read the same way on every system
#   LAUNCHER-no-attributes.exe      signed by `openssl cms -noattr`: the signer signs the
#                                   indirect data alone, no authenticated attributes;
#                                   wrapped as Authenticode and attached by osslsigncode
#   LAUNCHER-second-entry.exe       the SHA-256 one with a second certificate-table entry:
#                                   osslsigncode's signature over another file (the bare
#                                   launcher), 8 KiB of the signer's chosen bytes in it;
#                                   osslsigncode must refuse the table as corrupted
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
. "$(dirname "$0")/extract-signature.sh"
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

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 3650 \
  -subj "/CN=Tessit test signer/O=Tessit tests" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/ec-key.pem" -out "$work/ec-cert.pem" 2>/dev/null

# The names a hostile author gives: ESC ] 0 ; ... BEL retitles a terminal,
# U+202E turns the rest of the line around, U+009B is an 8-bit CSI.
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -utf8 \
  -subj "/CN=Tessit $(printf '\033]0;owned\007\342\200\256')exe.txt/O=$(printf '\302\233')31mred" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/hostile-key.pem" -out "$work/hostile-cert.pem" 2>/dev/null

# A value with a comma, quotes, a trailing space and a leading '#', a name of
# two attributes and a type of the arc for documentation (RFC 5612);
# "pkix" strings make the values that are not PrintableString BMPString.
cat >"$work/escaped.cnf" <<'END'
oid_section = documentation_oids
[documentation_oids]
documentationAttribute = 1.3.6.1.4.1.32473.1
[req]
distinguished_name = names
string_mask = pkix
[names]
END
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -utf8 -multivalue-rdn -config "$work/escaped.cnf" \
  -subj "/C=DE/O=#1 Eco3 test, Ltd./OU=Qualit$(printf '\303\244')t+UID=42/documentationAttribute=beta/CN=Tessit \"quoted\", signer /emailAddress=signer@example.com" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/escaped-key.pem" -out "$work/escaped-cert.pem" 2>/dev/null

sign() { # sign INPUT OUTPUT OPTION...
  local input=$1 output=$2; shift 2
  rm -f "$output"
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" "$@" -in "$input" -out "$output" >/dev/null
  verify "$output" "$@" >"$work/report" || { cat "$work/report" >&2; exit 1; }
}
# osslsigncode's verdict, with the certificate of `-certs CERT` if the
# signing options name one.
verify() { # verify FILE [SIGNING OPTION...]
  local file=$1 certificate=$work/cert.pem; shift
  while [ $# -gt 1 ]; do [ "$1" = -certs ] && certificate=$2; shift; done
  osslsigncode verify -CAfile "$certificate" -in "$file" 2>&1
}
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
# The file offset of a PE image's security directory entry: optional-header
# offset 144 in PE32+ (magic 0x20B), 128 in PE32.
security_entry() {
  local optional=$(( $(u32 "$1" 60) + 24 ))
  [ "$(od -An -tu2 -j "$optional" -N2 "$1" | tr -d ' ')" = $((0x20B)) ] && echo $((optional + 144)) || echo $((optional + 128))
}
# The contents octets of the first SEQUENCE after the indirect-data OID in
# the DER file SIGNATURE: what PKCS #7 hashes of Authenticode's content.
indirect_data_contents() { # indirect_data_contents SIGNATURE
  local offset header length
  read -r offset header length < <(openssl asn1parse -inform DER -in "$1" |
    awk '/:1.3.6.1.4.1.311.2.1.4$/ { found = 1; next }
         found && /cons: SEQUENCE/ { split($0, f, /[:= ]+/); print f[2], f[6], f[8]; exit }')
  dd if="$1" bs=1 skip=$((offset + header)) count="$length" status=none
}
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
  extract_signature "$1" "$work/signature.der"
  indirect_data_contents "$work/signature.der" | openssl dgst -sha256 -binary | xxd -p -c 64
}
# Signs INPUT as Authenticode with no authenticated attributes: osslsigncode
# gives the indirect data to sign, `openssl cms -noattr` signs it (its
# contents octets are what both forms hash), and the CMS is rewrapped as
# Authenticode's PKCS #7: version 1, the indirect data as the content
# itself, not inside an OCTET STRING (the same length, so one tag byte
# each), which osslsigncode attaches.
sign_without_attributes() { # sign_without_attributes INPUT OUTPUT
  rm -f "$work/cms.der" "$2"
  # What osslsigncode signs for INPUT (its SpcIndirectDataContent), read from
  # a signature of its own: Debian 12's osslsigncode 2.5 can neither hand it
  # over (extract-data) nor attach a signature without attributes.
  sign "$1" "$work/with-attributes.exe" -h sha256
  extract_signature "$work/with-attributes.exe" "$work/with-attributes.der"
  indirect_data_contents "$work/with-attributes.der" >"$work/indirect-data"
  openssl cms -sign -noattr -binary -nodetach -md sha256 -econtent_type 1.3.6.1.4.1.311.2.1.4 \
    -in "$work/indirect-data" -signer "$work/cert.pem" -inkey "$work/key.pem" -outform DER -out "$work/cms.der"
  # Without attributes the signer signs the content itself: openssl, not the
  # code under test, finds that signature good.
  openssl cms -verify -noverify -binary -inform DER -in "$work/cms.der" -out /dev/null 2>"$work/report" ||
    { cat "$work/report" >&2; echo "make-signed-packages: openssl does not verify its own signature" >&2; exit 1; }
  # Authenticode's form of it: version 1 and the content as a SEQUENCE, as
  # osslsigncode writes them.
  local version content
  version=$(openssl asn1parse -inform DER -in "$work/cms.der" | awk '/prim: INTEGER *:03$/ { print $1 + 0; exit }')
  content=$(openssl asn1parse -inform DER -in "$work/cms.der" |
    awk '/:1.3.6.1.4.1.311.2.1.4$/ { found = 1 } found && /prim: OCTET STRING/ { print $1 + 0; exit }')
  [ -n "$version" ] && [ -n "$content" ] || { echo "make-signed-packages: unexpected CMS from openssl" >&2; exit 1; }
  printf '\x01' | dd of="$work/cms.der" bs=1 seek=$((version + 2)) conv=notrunc status=none
  printf '\x30' | dd of="$work/cms.der" bs=1 seek="$content" conv=notrunc status=none
  # In place of osslsigncode's signature, one table entry padded to 8 bytes.
  local security table padded
  security=$(security_entry "$work/with-attributes.exe")
  table=$(u32 "$work/with-attributes.exe" "$security")
  padded=$(( ($(stat -c %s "$work/cms.der") + 7) / 8 * 8 ))
  {
    head -c "$table" "$work/with-attributes.exe"
    word $((8 + padded))
    byte 0; byte 2; byte 2; byte 0
    cat "$work/cms.der"
    head -c $((padded - $(stat -c %s "$work/cms.der"))) /dev/zero
  } >"$2"
  word $((8 + padded)) | dd of="$2" bs=1 seek=$((security + 4)) conv=notrunc status=none
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
  sign "$work/$name.exe" "$output/$name-ecdsa.exe" -h sha256 -certs "$work/ec-cert.pem" -key "$work/ec-key.pem"
  sign_without_attributes "$work/$name.exe" "$output/$name-no-attributes.exe"
  sign "$work/$name.exe" "$output/$name-hostile-signer.exe" -h sha256 \
    -certs "$work/hostile-cert.pem" -key "$work/hostile-key.pem"
  sign "$work/$name.exe" "$output/$name-escaped-signer.exe" -h sha256 \
    -certs "$work/escaped-cert.pem" -key "$work/escaped-key.pem"

  # A second table entry: a signature of this signer over the bare launcher,
  # the directory grown over it. osslsigncode refuses it (2.9 calls the table
  # corrupted, Debian 12's 2.5 the signature invalid).
  sign "$launcher" "$work/other.exe" -n "$(yes 'chosen bytes' | tr -d '\n' | head -c 8192)"
  extract_signature "$work/other.exe" "$work/other.der"
  second=$work/$name-second-entry.exe
  other_size=$(stat -c %s "$work/other.der")
  security=$(security_entry "$signed")
  {
    cat "$signed"
    word $((8 + other_size))
    byte 0; byte 2; byte 2; byte 0
    cat "$work/other.der"
    head -c $(( (8 - other_size % 8) % 8 )) /dev/zero
  } >"$second"
  word $(( $(u32 "$signed" $((security + 4))) + 8 + (other_size + 7) / 8 * 8 )) |
    dd of="$second" bs=1 seek=$((security + 4)) conv=notrunc status=none
  verify "$second" >"$work/report" && { echo "make-signed-packages: osslsigncode accepts $second" >&2; exit 1; }
  grep -qE 'Corrupted attribute certificate table|Invalid signature' "$work/report" || { cat "$work/report" >&2; exit 1; }
  mv "$second" "$output/"

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
