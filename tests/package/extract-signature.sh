# extract_signature SIGNED OUTPUT: the DER of SIGNED's signature. osslsigncode
# 2.9 writes just that; Debian 12's 2.5 writes the whole certificate-table
# entry (its 8-byte header, the DER, the padding), from which the DER is cut.
extract_signature() {
  local entry=$2.entry length
  rm -f "$2" "$entry"
  osslsigncode extract-signature -in "$1" -out "$entry" >/dev/null || return 1
  if [ "$(head -c 1 "$entry" | od -An -tx1 | tr -d ' ')" = 30 ]; then
    mv "$entry" "$2"
    return
  fi
  # A SEQUENCE with a two-byte length (30 82 HH LL), as every signature is.
  [ "$(tail -c +9 "$entry" | head -c 2 | od -An -tx1 | tr -d ' ')" = 3082 ] ||
    { echo "extract-signature: no signature in $1's table entry" >&2; rm -f "$entry"; return 1; }
  length=$(( $(tail -c +11 "$entry" | head -c 2 | od -An -tu1 | awk '{ print $1 * 256 + $2 }') + 4 ))
  tail -c +9 "$entry" | head -c "$length" >"$2"
  rm -f "$entry"
}
