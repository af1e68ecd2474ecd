#!/usr/bin/env bash
# Runs a packed, signed Tessit.exe under Wine on an Xvfb display, as a user
# would meet it, and checks what it did: files, installer, profile, MuiCache,
# control registration, main tool, trace lines, message boxes, exit codes.
#
#   e2e.sh LAUNCHER PACKER PROGRAMS_DIR
#
# LAUNCHER is Tessit.exe, PACKER tessit-pack.exe (run under Wine too),
# PROGRAMS_DIR the folder with the stand-in programs and boxreader.exe, all
# of one build (i686 or x86_64). They run through the loader for that build,
# Wine's own helpers (winepath, cmd, reg) through the 64-bit one. An i686 run
# goes through qemu-i386's emulation where the kernel runs no 32-bit
# programs, and is skipped with exit code 77 and the reason where neither
# runs them (failed with TESSIT_REQUIRE_I686=1).
set -uo pipefail

launcher=$1
packer=$2
programs=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/require.sh"
. "$root/scripts/wine-loader.sh"
architecture=$(pe_architecture "$launcher")
wine64=$(wine_loader x86_64)
loader=("$(wine_loader "$architecture")")
# Every wait is bounded; an emulated program takes some seconds to start
# where the kernel's takes a fraction of one, so the bounds are wider then.
slowness=1 emulated=0
if [ "$architecture" = i686 ]; then
  case $(i686_way) in
    native) ;;
    emulated)
      loader=("$root/scripts/i686-emulation.sh" "${loader[@]}")
      slowness=8 emulated=1
      echo "the i686 programs run under qemu-i386's emulation: this machine's kernel runs no 32-bit programs" ;;
    *)
      i686_skip "$(i686_unrunnable_reason)"
      exit $? ;;
  esac
fi
require_commands "${loader[0]}" "$wine64" wineserver Xvfb openssl osslsigncode x86_64-w64-mingw32-nm i686-w64-mingw32-nm
passed=0
failed=0

export WINEPREFIX=${TESSIT_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX/drive_c" ] || "$root/scripts/wine-run.sh" --init
if [ "$architecture" = i686 ] && reason=$(i686_prefix_reason) && [ -n "$reason" ]; then
  echo "FAILED: $reason"
  exit 1
fi
# A Wine server that an earlier program started without a display (a test
# suite, `wine reg`) keeps its desktop without one, and a windowed program
# started in that prefix before the server ends cannot make its window.
# Everything below runs under one display.
wineserver --wait

work=$(mktemp -d /tmp/tessit-e2e.XXXXXX)
xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

check() { # check DESCRIPTION COMMAND...
  local description=$1; shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok: $description"
  else
    failed=$((failed + 1)); echo "FAILED: $description"
  fi
}

equal() { [ "$1" = "$2" ] || { printf '  expected: %q\n  actual:   %q\n' "$2" "$1"; return 1; }; }
contains() { grep -qF -- "$2" "$1" || { echo "  '$2' not in $1:"; sed 's/^/    /' "$1"; return 1; }; }

start_display() {
  local fd_file=$work/display
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$fd_file")
}

wine_path() { "$wine64" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windows_path() { "$wine64" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# Every wait is bounded: a window that never appears fails instead of hanging.
read_box() { timeout $((40 * slowness)) "${loader[@]}" "$programs/boxreader.exe" $((30000 * slowness)) | tr -d '\r'; }
wait_until() { # wait_until SECONDS COMMAND...: until COMMAND succeeds, for at most SECONDS times the slowness
  local deadline=$((SECONDS + $1 * slowness)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
journal_has() { # journal_has PATTERN...: every PATTERN has a line of the journal
  local pattern
  for pattern; do grep -q "$pattern" "$journal" 2>/dev/null || return 1; done
}

# launcher_file_limit, when set, limits the size of the files the launcher
# writes (in KiB, SIGXFSZ ignored).
run_launcher() { # run_launcher EXE TRACE_FILE ARGS... ; sets launcher_pid
  local exe=$1 trace=$2; shift 2
  WINEDEBUG=-all,warn+seh timeout $((120 * slowness)) bash -c 'trap "" XFSZ; ulimit -f "$0"; exec "$@"' \
    "${launcher_file_limit:-unlimited}" "${loader[@]}" "$exe" "$@" 2>"$trace" &
  launcher_pid=$!
}

# Trace lines as Wine prints them on its seh channel, unescaped.
trace_lines() {
  sed -n 's/^[0-9a-f]*:warn:seh:OutputDebugStringA "\(.*\)"\r\{0,1\}$/\1/p' "$1"
}

start_display
temp_windows=$("$wine64" cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')
temp_unix=$(wine_path "$temp_windows")
mkdir -p "$temp_unix"
temp_folder="$temp_windows\\"

# The package: the stand-ins, a file in a sub-folder, the installer's exit
# code and delay.
stage=$work/stage
mkdir -p "$stage/docs"
cp "$programs/mDNSResponder.exe" "$programs/QIRA_t.exe" "$programs/Viewer.ocx" "$stage/"
echo "7 1500" > "$stage/installer-exit-code.txt"
echo "read me" > "$stage/docs/readme.txt"
# A prefix still settling after its first start has been seen to lose a
# packer run without a word; one retry, and its messages shown if that fails.
pack() { # pack OUTPUT OEM [STAGE]
  local attempt
  for attempt in 1 2; do
    "${loader[@]}" "$packer" build -l "$(windows_path "$launcher")" -o "$(windows_path "$1")" --oem "$2" \
      "$(windows_path "${3:-$stage}")" >"$work/pack.log" 2>&1 && [ -s "$1" ] && return 0
  done
  sed 's/^/  /' "$work/pack.log"
  return 1
}
check "the launcher is packed" pack "$work/packed.exe" 47

# Signing: a throwaway self-signed certificate, then the signer's own check.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessit test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
check "the packed launcher is signed" \
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/packed.exe" -out "$work/Tessit.exe"
check "the signature verifies" osslsigncode verify -CAfile "$work/cert.pem" -in "$work/Tessit.exe"

muicache='HKCU\Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\MuiCache'
"$wine64" reg add "$muicache" /v "${temp_folder}QIRA_t.exe" /t REG_SZ /d "QIRA" /f >/dev/null 2>&1
# A clean temporary folder, so the folder creation shows in the log.
rm -rf "$temp_unix/docs" "$temp_unix/tessit-journal.txt"
for entry in "$stage"/*; do rm -f "$temp_unix/$(basename "$entry")"; done

journal=$temp_unix/tessit-journal.txt
tab=$'\t'

# A full run with every option; "DEBUG" inside the model name still asks for
# the log box.
run_launcher "$work/Tessit.exe" "$work/trace.txt" -diagnosis -OEM:12 "-NAME:Model DEBUG"
log_box=$(read_box)
wait "$launcher_pid"; status=$?
check "a full run exits with 0" equal "$status" 0

for entry in mDNSResponder.exe QIRA_t.exe Viewer.ocx installer-exit-code.txt docs/readme.txt; do
  check "$entry is extracted intact" cmp -s "$stage/$entry" "$temp_unix/$entry"
done
check "the sub-folder docs was made" test -d "$temp_unix/docs"

# Wait (bounded) for the main tool and the control registration: neither is awaited.
wait_until 10 journal_has '^main folder' '^register'
check "the installer ran with its quoted path and -install" \
  contains "$journal" "installer start${tab}\"${temp_folder}mDNSResponder.exe\" -install"
order=$(cut -f1 "$journal" | tr '\n' ',')
check "the installer finished before the control and the main tool started" \
  bash -c '[[ "$1" == "installer start,installer end,"* ]]' _ "$order"
check "the control was registered through regsvr32" contains "$journal" "register${tab}${temp_folder}Viewer.ocx${tab}"
check "regsvr32 got /s and the control's path between double quotes" \
  contains "$journal" " /s \"${temp_folder}Viewer.ocx\""
check "the main tool got its parameter line" \
  contains "$journal" "QIRA_t.exe\" 1${tab}12${tab}Model DEBUG${tab}"
check "the main tool runs in the temporary folder" contains "$journal" "main folder${tab}${temp_windows}"

oem=$("$wine64" reg query 'HKCU\Software\QIRA\QIRA\UI' /v OEM 2>/dev/null | tr -d '\r' | awk '/OEM/ {print $3}')
check "the profile holds the package's OEM number, not the override" equal "$oem" 0x2f
check "the MuiCache value is gone" \
  bash -c '! "$0" reg query "$1" /v "$2" >/dev/null 2>&1' "$wine64" "$muicache" "${temp_folder}QIRA_t.exe"

banner_app=$(printf '&%.0s' $(seq 23))Tessit$(printf '&%.0s' $(seq 27))
banner_dlg=$(printf '&%.0s' $(seq 23))TessitDlg$(printf '&%.0s' $(seq 27))
stars=$(printf '*%.0s' $(seq 53))
expected_trace=$(printf '%s\n' \
  "$banner_app\\n" 'oemChecker:12\n' 'setOemId!!!!!!!!!!!!!\n' 'Start TessitDlg\n' \
  '~~~~~~~~~~~~DeviceFile~~~~~~~~~~~~~~\n' 'zipFile Closed...\n' "$stars\\n" 'setOriginalOemId\n' \
  'SELECTED\n' 'Selected Model Name...\n' "$banner_dlg\\n" '1\t12\tModel DEBUG\t' '\n' 'Year~')
check "the trace lines come in order" equal "$(trace_lines "$work/trace.txt")" "$expected_trace"

expected_log="Tessit|Module : $(windows_path "$work/Tessit.exe")\\n"
check "the DEBUG box shows the log" bash -c '[[ "$1" == "$2"* ]]' _ "$log_box" "$expected_log"
for line in 'Count : 5\n' "Temp Path : $temp_folder\\n" 'OEM : 47\n' 'make folder: [docs]\n' \
            "Register : ${temp_folder}Viewer.ocx\\n" "Execute : ${temp_folder}QIRA_t.exe\\n"; do
  check "the log box has the line ${line%\\n}" bash -c '[[ "$1" == *"$2"* ]]' _ "$log_box" "$line"
done

# Without an override the package's number reaches the main tool.
rm -f "$journal"
run_launcher "$work/Tessit.exe" "$work/trace-plain.txt"
wait "$launcher_pid"; status=$?
check "a run without options exits with 0" equal "$status" 0
wait_until 10 journal_has '^main start'
check "without options the package's number is passed" contains "$journal" "QIRA_t.exe\" 0${tab}47${tab}"
check "without options the trace says ORIGINAL" contains "$work/trace-plain.txt" '"ORIGINAL\n"'

# A second instance while the first one's window is up.
echo "0 $((6000 * slowness))" > "$stage/installer-exit-code.txt"
check "a launcher with a slow installer is packed" pack "$work/slow.exe" 5
echo "7 1500" > "$stage/installer-exit-code.txt"
rm -f "$journal"
run_launcher "$work/slow.exe" "$work/trace-first.txt"
first_pid=$launcher_pid
wait_until 10 journal_has '^installer start'
rm -f "$journal"
run_launcher "$work/slow.exe" "$work/trace-second.txt"
second_box=$(read_box)
wait "$launcher_pid"; second_status=$?
# While the installer runs, the programs still to be started are held: a
# program of the same user can neither delete, replace nor rename them.
"$wine64" cmd /c "del /f ${temp_folder}QIRA_t.exe" >/dev/null 2>&1
"$wine64" cmd /c "copy /y ${temp_folder}installer-exit-code.txt ${temp_folder}Viewer.ocx" >/dev/null 2>&1
"$wine64" cmd /c "ren ${temp_folder}QIRA_t.exe moved.exe" >/dev/null 2>&1
wait "$first_pid"; first_status=$?
check "a second instance is told another one runs" equal "$second_box" "QIRA|Already running..."
check "a second instance exits with 2" equal "$second_status" 2
check "the first instance still finishes" equal "$first_status" 0
for entry in QIRA_t.exe Viewer.ocx; do
  check "the held $entry was neither deleted, replaced nor renamed" cmp -s "$stage/$entry" "$temp_unix/$entry"
done
wait_until 10 journal_has '^main start'
check "the held main tool still started" contains "$journal" "main start"

# Packages the launcher must refuse, each with its box and exit code 1.
refused() { # refused EXE EXPECTED_BOX
  run_launcher "$1" "$work/trace-refused.txt"
  local box; box=$(read_box)
  wait "$launcher_pid"; local status=$?
  check "$(basename "$1") is refused with its message" equal "$box" "$2"
  check "$(basename "$1") exits with 1" equal "$status" 1
}
cp "$launcher" "$work/empty.exe"
refused "$work/empty.exe" "empty|[1]Can not open $(windows_path "$work/empty.exe") file!!!"
# 100 bytes gone from the end of the data area; the footer is still there.
size=$(stat -c %s "$work/packed.exe")
{ head -c $((size - 108)) "$work/packed.exe"; tail -c 8 "$work/packed.exe"; } > "$work/shortened.exe"
refused "$work/shortened.exe" "shortened|[3]Can not open $(windows_path "$work/shortened.exe") file!!!"

# A target that cannot take all its bytes: the entry is damaged, nothing is
# run, and nothing of it is left. Its first entry meets the file-size limit
# (set, with SIGXFSZ ignored, for the launcher alone: the Wine server runs
# on without it). qemu-i386 ends an emulated program on SIGXFSZ even where it
# is ignored, so under emulation no entry can be damaged this way.
if [ "$emulated" = 1 ]; then
  echo "skipped: a damaged entry (qemu-i386 ends the launcher on the file-size limit's SIGXFSZ, which it should ignore)"
else
  cp -r "$stage" "$work/damaged-stage"
  head -c 300000 /dev/urandom > "$work/damaged-stage/0-big.bin"
  check "a launcher with a large first entry is packed" pack "$work/damaged.exe" 5 "$work/damaged-stage"
  rm -f "$journal"
  wineserver -p
  launcher_file_limit=100 refused "$work/damaged.exe" "damaged|Can not write ${temp_folder}0-big.bin file!!!"
  check "nothing is started after a damaged entry" test ! -e "$journal"
  check "a damaged entry leaves nothing behind" \
    bash -c '! ls "$1" | grep -q "^0-big.bin"' _ "$temp_unix"
fi

# A signed launcher runs only as it was signed: one byte changed anywhere its
# signature's digest covers, the size kept, and nothing is written or run.
u16() { od -An -tu2 -j "$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
changed_copy() { # changed_copy SOURCE OFFSET OUTPUT
  local value; value=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  cp "$1" "$3"
  printf "\\x$(printf %02x $((value ^ 1)))" | dd of="$3" bs=1 seek="$2" conv=notrunc status=none
}
staged_files() { (cd "$stage" && find . -type f | sed 's|^\./||'); }
nothing_extracted() {
  local entry
  for entry in $(staged_files); do [ ! -e "$temp_unix/$entry" ] || return 1; done
  [ ! -e "$journal" ]
}
clear_extracted() {
  local entry
  rm -f "$journal"
  for entry in $(staged_files); do rm -f "$temp_unix/$entry"; done
}
unsigned_size=$(stat -c %s "$work/packed.exe")
header=$(u32 "$work/packed.exe" $((unsigned_size - 4)))
pe=$(u32 "$work/packed.exe" 60)
optional=$((pe + 24))
section=$((optional + $(u16 "$work/packed.exe" $((pe + 20)))))
# The launcher's code changed where it only runs after the check: inside the
# function that starts the main tool. Its file offset follows from its
# address, the image base and the first section (.text).
if [ "$(u16 "$work/packed.exe" "$optional")" = $((0x20B)) ]; then
  nm=x86_64-w64-mingw32-nm image_base=$(od -An -tu8 -j $((optional + 24)) -N8 "$work/packed.exe" | tr -d ' ')
else
  nm=i686-w64-mingw32-nm image_base=$(u32 "$work/packed.exe" $((optional + 28)))
fi
# A stripped launcher (a release build) has no symbols: its link map,
# named by TESSIT_LAUNCHER_MAP, has the address then.
address=$("$nm" "$launcher" 2>/dev/null | sed -n 's/^\([0-9a-f]*\) T .*CTessitDlg14LaunchMainTool.*/\1/p' | head -1)
if [ -z "$address" ] && [ -n "${TESSIT_LAUNCHER_MAP:-}" ]; then
  address=$(sed -n 's/^ *0x\([0-9a-f]*\) *Tessit::CTessitDlg::LaunchMainTool(.*/\1/p' "$TESSIT_LAUNCHER_MAP" | head -1)
fi
check "the launcher's function that starts the main tool is found" test -n "$address"
code=$(( 0x$address - image_base - $(u32 "$work/packed.exe" $((section + 12))) + $(u32 "$work/packed.exe" $((section + 20))) + 8 ))
for place in "data:$((header + 8 + 5 * 132 + 100))" "name:$((header + 8 + 5 * 4))" "header:$header" "code:$code"; do
  changed="$work/changed-${place%%:*}.exe"
  changed_copy "$work/Tessit.exe" "${place#*:}" "$changed"
  clear_extracted
  refused "$changed" "$(basename "$changed" .exe)|[4]Can not verify $(windows_path "$changed") file!!!"
  check "nothing is extracted or started from $(basename "$changed")" nothing_extracted
done
# The security directory: optional-header offset 144 in PE32+ (magic 0x20B), 128 in PE32.
security=$((optional + 128))
[ "$(u16 "$work/Tessit.exe" "$optional")" = $((0x20B)) ] && security=$((optional + 144))
table=$(u32 "$work/Tessit.exe" "$security")
{ head -c "$table" "$work/Tessit.exe"; head -c $(( $(stat -c %s "$work/Tessit.exe") - table )) /dev/urandom; } \
  > "$work/garbage.exe"
clear_extracted
refused "$work/garbage.exe" "garbage|[4]Can not verify $(windows_path "$work/garbage.exe") file!!!"
check "nothing is extracted or started from a launcher whose table is garbage" nothing_extracted

# tessit-pack.exe tells the same, with the same check and the system's cryptography.
"${loader[@]}" "$packer" verify "$(windows_path "$work/Tessit.exe")" >"$work/verify-signed.txt" 2>&1
check "tessit-pack.exe verify says the signed launcher's signature holds" \
  contains "$work/verify-signed.txt" "signature holds (SHA-256)"
check "tessit-pack.exe verify names the signer" contains "$work/verify-signed.txt" "signer: CN=Tessit test"
"${loader[@]}" "$packer" verify "$(windows_path "$work/changed-data.exe")" >"$work/verify-changed.txt" 2>&1; status=$?
check "tessit-pack.exe verify fails a changed copy" equal "$status" 1
check "tessit-pack.exe verify says the changed copy's digest does not match" \
  contains "$work/verify-changed.txt" "signature digest does not match (SHA-256)"

# Signed with SHA-1 it runs as well.
osslsigncode sign -h sha1 -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/packed.exe" -out "$work/sha1.exe" \
  >/dev/null
clear_extracted
run_launcher "$work/sha1.exe" "$work/trace-sha1.txt"
wait "$launcher_pid"; status=$?
check "a launcher signed with SHA-1 exits with 0" equal "$status" 0
check "a launcher signed with SHA-1 extracts its package" cmp -s "$stage/QIRA_t.exe" "$temp_unix/QIRA_t.exe"

# Signed with a P-256 ECDSA key, which Wine's crypt32 cannot verify: the
# launcher refuses it, its trace and the packer say that the signature
# cannot be checked here, not that the file changed.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj "/CN=Tessit test" \
  -keyout "$work/ec-key.pem" -out "$work/ec-cert.pem" >/dev/null 2>&1
osslsigncode sign -certs "$work/ec-cert.pem" -key "$work/ec-key.pem" -in "$work/packed.exe" -out "$work/ecdsa.exe" \
  >/dev/null
clear_extracted
refused "$work/ecdsa.exe" "ecdsa|[4]Can not verify $(windows_path "$work/ecdsa.exe") file!!!"
check "the trace says the ECDSA signature cannot be checked here" \
  contains "$work/trace-refused.txt" "signature refused: the signature cannot be checked here"
"${loader[@]}" "$packer" verify "$(windows_path "$work/ecdsa.exe")" >"$work/verify-ecdsa.txt" 2>&1; status=$?
check "tessit-pack.exe verify fails the ECDSA-signed launcher" equal "$status" 1
check "tessit-pack.exe verify says the ECDSA signature cannot be checked here" \
  contains "$work/verify-ecdsa.txt" "its signature cannot be checked here: this system cannot verify the signer's ECDSA key"

# DLLs planted beside the launcher and the packer under the names of the
# system DLLs they load (crypt32, bcrypt) and that crypt32 loads for them
# (wintrust), with Wine told to prefer such a file to its own, as Windows
# does for a DLL found first: none is loaded, and the signature is checked
# with the system's own.
planted=$work/planted
mkdir -p "$planted"
cp "$work/Tessit.exe" "$packer" "$planted/"
for dll in crypt32 bcrypt wintrust; do cp "$programs/planted.dll" "$planted/$dll.dll"; done
not_loaded() { [ ! -e "$planted/tessit-journal.txt" ] || { sed 's/^/  /' "$planted/tessit-journal.txt"; return 1; }; }
clear_extracted
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;crypt32,bcrypt,wintrust=n,b" run_launcher "$planted/Tessit.exe" "$work/trace-planted.txt"
wait "$launcher_pid"; status=$?
check "a launcher with DLLs planted beside it exits with 0" equal "$status" 0
check "the launcher loads no DLL planted beside it" not_loaded
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;crypt32,bcrypt,wintrust=n,b" timeout $((60 * slowness)) "${loader[@]}" "$planted/$(basename "$packer")" verify \
  "$(windows_path "$planted/Tessit.exe")" >"$work/verify-planted.txt" 2>&1
check "tessit-pack.exe with DLLs planted beside it checks the signature" \
  contains "$work/verify-planted.txt" "signature holds (SHA-256)"
check "tessit-pack.exe loads no DLL planted beside it" not_loaded

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
