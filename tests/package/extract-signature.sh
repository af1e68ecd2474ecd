# extract_signature SIGNED OUTPUT: the DER of SIGNED's signature. osslsigncode
# 2.9 writes just that; Debian 12's 2.5 writes the whole certificate-table
# entry (its 8-byte header, the DER, the padding), from which the DER is cut.
extract_signature() {
  local entry=$2.entry length
  rm -f "$2" "$entry"
  osslsigncode extract-signature -in "$1" -out "$entry" >/dev/null || return 1
  if [ "$(od -An -tx1 -N 1 "$entry" | tr -d ' ')" = 30 ]; then
    mv "$entry" "$2"
    return
  fi
  # A SEQUENCE with a two-byte length (30 82 HH LL), as every signature is.
  [ "$(od -An -tx1 -j 8 -N 2 "$entry" | tr -d ' ')" = 3082 ] ||
    { echo "extract-signature: no signature in $1's table entry" >&2; rm -f "$entry"; return 1; }
  length=$(( $(od -An -tu1 -j 10 -N 2 "$entry" | awk '{ print $1 * 256 + $2 }') + 4 ))
  dd if="$entry" of="$2" bs=1 skip=8 count="$length" status=none
  rm -f "$entry"
}
