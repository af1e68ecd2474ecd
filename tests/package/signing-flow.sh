#!/usr/bin/env bash
# Packs each stand-in launcher, signs it with a throwaway self-signed
# certificate as a release would, and checks that the signature verifies
# and that tessit-pack still finds the package behind whatever padding the
# signer chose. Also checks what the packer refuses and that it packs the
# same input to the same bytes.
# Usage: signing-flow.sh TESSIT-PACK LAUNCHER.exe...
set -euo pipefail
. "$(dirname "$0")/../../scripts/require.sh"
require_commands openssl osslsigncode
packer=$1; shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "signing-flow: $*" >&2; exit 1; }

# Runs a command that must fail with the packer's one-line error.
expect_refusal() {
  local what=$1; shift
  if "$@" >"$work/out" 2>"$work/err"; then fail "accepted $what"; fi
  [ "$(wc -l <"$work/err")" -eq 1 ] && grep -q '^tessit-pack: error: ' "$work/err" \
    || fail "refused $what without a one-line error: $(cat "$work/err")"
}

field() { sed -n "s/^$1: //p" "$work/list"; }

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

    "$packer" verify "$signed" | grep -q ', signed$' || fail "$signed not reported as signed"
    if [ "$extra" = 0 ]; then
      { cat "$signed"; printf 'appended'; } >"$work/appended.exe"
      expect_refusal "bytes after the certificate table" "$packer" verify "$work/appended.exe"
      grep -q 'does not end the file' "$work/err" || fail "appended bytes reported as: $(cat "$work/err")"
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
