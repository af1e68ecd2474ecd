#!/usr/bin/env bash
# Checks that each Windows program's import table names only KnownDLLs:
# the loader resolves imports before the program's first instruction, from
# the program's own folder first for any other DLL, so a DLL planted beside
# it (in a downloads folder, say) would run before the program could limit
# the search. KnownDLLs always come from the system's own section objects.
# The C runtime of the static MinGW-w64 build is msvcrt.dll, a KnownDLL.
#
#   known-dlls.sh OBJDUMP PROGRAM...
set -euo pipefail
objdump=$1; shift

# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of
# Windows 10 and 11 (ntdll.dll the kernel maps into every process itself).
known="advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32
wow64 wow64win ws2_32"

failed=0
for program in "$@"; do
  imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: \(.*\)$/\1/p')
  [ -n "$imports" ] || { echo "known-dlls: no import table read from $program" >&2; failed=1; continue; }
  for dll in $imports; do
    name=$(basename "${dll,,}" .dll)
    if [[ " ${known//$'\n'/ } " != *" $name "* ]]; then
      echo "known-dlls: $(basename "$program") imports $dll, which is no KnownDLL" >&2
      failed=1
    fi
  done
  echo "$(basename "$program") imports:" $imports
done
exit "$failed"
