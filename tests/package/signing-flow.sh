#!/usr/bin/env bash
# Packs each stand-in launcher, signs it with a throwaway self-signed
# certificate as a release would, and checks that the signature verifies
# and that tessit-pack still finds the package behind whatever padding the
# signer chose. Also checks what the packer refuses and that it packs the
# same input to the same bytes.
# Usage: signing-flow.sh TESSIT-PACK LAUNCHER.exe...
set -euo pipefail
. "$(dirname "$0")/../../scripts/require.sh"
. "$(dirname "$0")/extract-signature.sh"
require_commands openssl osslsigncode
packer=$1; shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "signing-flow: $*" >&2; exit 1; }

# Runs a command that must fail with the packer's one-line error (the
# packages here hold no installer, which is worth a warning beside it).
expect_refusal() {
  local what=$1; shift
  if "$@" >"$work/out" 2>"$work/err"; then fail "accepted $what"; fi
  [ "$(grep -c '^tessit-pack: error: ' "$work/err")" -eq 1 ] && ! grep -qv '^tessit-pack: \(error\|warning\): ' "$work/err" \
    || fail "refused $what without a one-line error: $(cat "$work/err")"
}

field() { sed -n "s/^$1: //p" "$work/list"; }

u16() { od -An -tu2 -j "$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
# Copies FILE to OUTPUT with the byte at OFFSET changed.
flip() {
  local value; value=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  cp "$1" "$3"
  printf "\\x$(printf %02x $((value ^ 1)))" | dd of="$3" bs=1 seek="$2" conv=notrunc status=none
}
put32() { # put32 FILE OFFSET VALUE
  local value=$3
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((value & 255)) $((value >> 8 & 255)) $((value >> 16 & 255)) \
    $((value >> 24 & 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# The file offset of a PE image's security directory entry.
security_entry() {
  local optional=$(( $(u32 "$1" 60) + 24 ))
  [ "$(u16 "$1" "$optional")" = $((0x20B)) ] && echo $((optional + 144)) || echo $((optional + 128))
}
# The file offset of a PE image's first section's raw data: its code.
code_offset() {
  local pe; pe=$(u32 "$1" 60)
  u32 "$1" $((pe + 24 + $(u16 "$1" $((pe + 20))) + 20))
}

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessit test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

mkdir -p "$work/payload/docs"
printf 'main tool' >"$work/payload/QIRA_t.exe"
head -c 70001 /dev/urandom >"$work/payload/docs/data.bin"

for launcher in "$@"; do
  name=$(basename "$launcher" .exe)
  paddings=""
  # One more byte of package each time, so that the signer's padding runs
  # through every value from 0 to 7.
  for extra in 0 1 2 3 4 5 6 7; do
    head -c "$extra" /dev/zero >"$work/pad-$extra"
    packed="$work/$name-$extra.exe"
    signed="$work/$name-$extra-signed.exe"
    "$packer" build -l "$launcher" -o "$packed" --oem 42 "$work/payload" "extra/pad.bin=$work/pad-$extra"
    [ -x "$packed" ] || fail "$packed is not marked executable"
    "$packer" verify "$packed" | grep -q 'not signed' || fail "$packed reported as signed"

    osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Tessit test" \
      -in "$packed" -out "$signed" >/dev/null
    osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" >"$work/osslsigncode.log" 2>&1 \
      || { cat "$work/osslsigncode.log" >&2; fail "osslsigncode does not accept $signed"; }

    "$packer" list "$signed" >"$work/list"
    [ "$(field OEM)" = 42 ] || fail "$signed: OEM $(field OEM)"
    [ "$(field entries)" = 3 ] || fail "$signed: $(field entries) entries"
    unsigned_size=$(stat -c %s "$packed")
    expected_padding=$(( (8 - unsigned_size % 8) % 8 ))
    [ "$(field padding)" = "$expected_padding" ] || fail "$signed: padding $(field padding), not $expected_padding"
    grep -q "^certificate table: offset $(( unsigned_size + expected_padding )), size [1-9]" "$work/list" \
      || fail "$signed: $(grep certificate "$work/list")"
    paddings="$paddings $expected_padding"

    "$packer" verify "$signed" >"$work/verify" || fail "$signed does not verify"
    grep -q ', signed, signature holds (SHA-256)$' "$work/verify" || fail "$signed not reported as signed"
    grep -q '^signature: SHA-256, holds$' "$work/list" || fail "$signed: $(grep signature "$work/list")"
    for report in "$work/verify" "$work/list"; do
      grep -q '^signer: CN=Tessit test signer$' "$report" && grep -q '^issuer: CN=Tessit test signer$' "$report" \
        || fail "$signed: the signer is not shown: $(cat "$report")"
    done
    if [ "$extra" = 0 ]; then
      { cat "$signed"; printf 'appended'; } >"$work/appended.exe"
      expect_refusal "bytes after the certificate table" "$packer" verify "$work/appended.exe"
      grep -q 'does not end the file' "$work/err" || fail "appended bytes reported as: $(cat "$work/err")"

      # The same package signed with SHA-1; then one byte changed, the size
      # kept, wherever the digest covers it.
      rm -f "$work/sha1.exe"
      osslsigncode sign -h sha1 -certs "$work/cert.pem" -key "$work/key.pem" -in "$packed" -out "$work/sha1.exe" >/dev/null
      "$packer" verify "$work/sha1.exe" | grep -q ', signature holds (SHA-1)$' || fail "$name: SHA-1 digest"
      header=$(field 'header offset')
      for place in "package data:$((header + 8 + 3 * 132 + 10))" "entry name:$((header + 8 + 3 * 4))" \
                   "header:$header" "launcher code:$(( $(code_offset "$signed") + 16 ))"; do
        for file in "$signed" "$work/sha1.exe"; do
          flip "$file" "${place#*:}" "$work/changed.exe"
          expect_refusal "a signed package with a changed byte in its ${place%%:*}" "$packer" verify "$work/changed.exe"
          grep -q 'signature digest does not match' "$work/err" || fail "${place%%:*}: $(cat "$work/err")"
          expect_refusal "extracting a changed package" "$packer" extract "$work/changed.exe" -C "$work/changed"
          [ ! -e "$work/changed/QIRA_t.exe" ] || fail "a changed package was extracted"
        done
      done
      table=$(grep '^certificate table:' "$work/list" | sed 's/.*offset \([0-9]*\),.*/\1/')
      { head -c "$table" "$signed"; head -c $(( $(stat -c %s "$signed") - table )) /dev/urandom; } >"$work/garbage.exe"
      expect_refusal "a certificate table of garbage" "$packer" verify "$work/garbage.exe"
      grep -q 'certificate table' "$work/err" || fail "garbage table: $(cat "$work/err")"

      # Bytes in the table that no signature covers, which osslsigncode
      # refuses as well: junk with the security directory grown over it, a
      # second entry of garbage, and one of another file's signature.
      security=$(security_entry "$signed")
      table_size=$(u32 "$signed" $((security + 4)))
      grown() { # grown OUTPUT BYTES...: the signed file with BYTES appended to its table
        local output=$1; shift
        { cat "$signed"; printf "$@"; } >"$output"
        put32 "$output" $((security + 4)) $((table_size + $(printf "$@" | wc -c)))
      }
      grown "$work/junk.exe" 'junk after the signature!'
      grown "$work/second.exe" '\x30\x00\x00\x00\x00\x02\x02\x00%040d' 0
      # A second entry that is a readable signature: the signer's, over
      # another file (the bare launcher).
      rm -f "$work/other.exe"
      osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$launcher" -out "$work/other.exe" >/dev/null
      extract_signature "$work/other.exe" "$work/other.der"
      other_size=$(stat -c %s "$work/other.der")
      entry_size=$(( (8 + other_size + 7) / 8 * 8 ))
      { cat "$signed"; head -c 8 /dev/zero; cat "$work/other.der"; head -c $((entry_size - 8 - other_size)) /dev/zero; } \
        >"$work/signature.exe"
      put32 "$work/signature.exe" "$(stat -c %s "$signed")" $((8 + other_size))
      put32 "$work/signature.exe" $(( $(stat -c %s "$signed") + 4 )) $((0x00020200)) # revision 2.0, PKCS #7 signed data
      put32 "$work/signature.exe" $((security + 4)) $((table_size + entry_size))
      for forged in junk second signature; do
        expect_refusal "$forged bytes in the certificate table" "$packer" verify "$work/$forged.exe"
        grep -q 'certificate table' "$work/err" || fail "$forged: $(cat "$work/err")"
        if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$forged.exe" >/dev/null 2>&1; then
          fail "osslsigncode accepts $forged bytes in the certificate table: the case does not show what it should"
        fi
      done
      grep -q 'more than one entry' "$work/err" || fail "a second signature reported as: $(cat "$work/err")"
    fi
    if [ "$expected_padding" = 0 ]; then
      # Without the signer's padding, removing the signature leaves the
      # packed file (its checksum apart), unsigned again.
      rm -f "$work/removed.exe"
      osslsigncode remove-signature -in "$signed" -out "$work/removed.exe" >/dev/null
      "$packer" verify "$work/removed.exe" | grep -q 'not signed$' || fail "a removed signature still reported"
      "$packer" extract "$work/removed.exe" -C "$work/removed" >/dev/null
      cmp "$work/payload/docs/data.bin" "$work/removed/docs/data.bin"
    fi
    "$packer" extract "$signed" -C "$work/out-$name-$extra" >/dev/null
    cmp "$work/payload/QIRA_t.exe" "$work/out-$name-$extra/QIRA_t.exe"
    cmp "$work/payload/docs/data.bin" "$work/out-$name-$extra/docs/data.bin"
    cmp "$work/pad-$extra" "$work/out-$name-$extra/extra/pad.bin"
  done
  [ "$(echo $paddings | tr ' ' '\n' | sort -u | tr '\n' ' ')" = "0 1 2 3 4 5 6 7 " ] \
    || fail "$name: the signer chose paddings$paddings"

  # The same input gives the same bytes, and replacing a package gives
  # what packing the bare launcher gives.
  "$packer" build -l "$launcher" -o "$work/$name-again.exe" --oem 42 "$work/payload" "extra/pad.bin=$work/pad-0"
  cmp "$work/$name-0.exe" "$work/$name-again.exe"
  "$packer" build -l "$work/$name-3.exe" -o "$work/$name-replaced.exe" --replace --oem 42 "$work/payload" \
    "extra/pad.bin=$work/pad-0"
  cmp "$work/$name-0.exe" "$work/$name-replaced.exe"

  # A signed launcher's table goes only on request; signing the result again works.
  signed="$work/$name-5-signed.exe"
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$launcher" -out "$work/$name-bare-signed.exe" >/dev/null
  expect_refusal "a signed launcher" "$packer" build -l "$work/$name-bare-signed.exe" -o "$work/x.exe" "$work/pad-1"
  "$packer" build -l "$work/$name-bare-signed.exe" --strip-signature -o "$work/$name-stripped.exe" --oem 42 \
    "$work/payload" "extra/pad.bin=$work/pad-0"
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/$name-stripped.exe" \
    -out "$work/$name-resigned.exe" >/dev/null
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$name-resigned.exe" >/dev/null 2>&1 \
    || fail "$name: re-signed stripped launcher does not verify"
  "$packer" verify "$work/$name-resigned.exe" >/dev/null
  expect_refusal "a launcher that carries a package" \
    "$packer" build -l "$work/$name-0.exe" -o "$work/x.exe" "$work/pad-1"
  expect_refusal "a signed package without --strip-signature" \
    "$packer" build -l "$signed" --replace -o "$work/x.exe" "$work/pad-1"
done

# Refusals that do not depend on the launcher; none of them leaves output.
launcher=$1
long=$(printf 'n%.0s' $(seq 64))
expect_refusal "no entries" "$packer" build -l "$launcher" -o "$work/x.exe"
expect_refusal "31 entries" "$packer" build -l "$launcher" -o "$work/x.exe" \
  $(for i in $(seq 31); do echo "e$i=$work/pad-1"; done)
expect_refusal "a 64-unit name" "$packer" build -l "$launcher" -o "$work/x.exe" "$long=$work/pad-1"
expect_refusal "an unsafe name" "$packer" build -l "$launcher" -o "$work/x.exe" "../up=$work/pad-1"
expect_refusal "a drive name" "$packer" build -l "$launcher" -o "$work/x.exe" "C:x=$work/pad-1"
expect_refusal "names equal but for case" "$packer" build -l "$launcher" -o "$work/x.exe" \
  "A.txt=$work/pad-1" "a.TXT=$work/pad-2"
expect_refusal "a launcher that is no executable" "$packer" build -l "$work/pad-7" -o "$work/x.exe" "$work/pad-1"
expect_refusal "a missing item" "$packer" build -l "$launcher" -o "$work/x.exe" "$work/missing"
expect_refusal "a file without a package" "$packer" verify "$launcher"
expect_refusal "an unknown option" "$packer" list --bogus "$launcher"
[ ! -e "$work/x.exe" ] || fail "a refused build left its output"
[ -z "$(find "$work" -name '*.tessit-pack-*')" ] || fail "a build left a temporary file"
"$packer" --version | grep -q '^tessit-pack [0-9]' || fail "no version"
echo "signing flow passed for: $*"
