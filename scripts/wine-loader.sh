# Sourced by the scripts that run Windows programs under Wine: which loader
# runs a program, and whether this machine runs 32-bit programs at all.
#
# Debian's `wine` front end starts the 32-bit loader whenever wine32 is
# installed, even for a 64-bit program, and that loader cannot start on a
# kernel without IA32 emulation. So 64-bit programs always go through the
# 64-bit loader, and 32-bit ones through the front end.
#
#   pe_architecture FILE      i686 or x86_64 for a Windows program, nothing otherwise
#   wine_loader ARCH          the command that runs ARCH programs
#   i686_unrunnable_reason    nothing where 32-bit programs run, else why not
#   i686_skip REASON          says that a 32-bit run is skipped and returns
#                             the skip code or, with TESSIT_REQUIRE_I686=1,
#                             says that it fails and returns 1
#
# TESSIT_I686_PROBE names the program the probe starts (default Wine's 32-bit
# loader); one that cannot run, such as /dev/null, makes any machine count as
# one without 32-bit support.

# The exit code of a run that was skipped (CTest's SKIP_RETURN_CODE).
i686_skip_code=77

pe_architecture() {
  local header machine
  header=$(od -An -tu4 -j 60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$header" ] || return 0
  machine=$(od -An -tx2 -j $((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
    8664) echo x86_64 ;;
    014c) echo i686 ;;
  esac
}

wine_loader() {
  case $1 in
    x86_64) echo /usr/lib/wine/wine64 ;;
    *) echo wine ;;
  esac
}

i686_unrunnable_reason() {
  local probe=${TESSIT_I686_PROBE:-/usr/lib/wine/wine} output status=0
  if [ ! -e "$probe" ]; then
    echo "Wine's 32-bit loader $probe is missing (wine32:i386, which scripts/setup.sh installs)"
    return 0
  fi
  output=$("$probe" --version 2>&1) || status=$?
  [ "$status" -eq 0 ] && return 0
  output=$(printf '%s\n' "$output" | head -1)
  echo "this machine does not run 32-bit programs ($probe: ${output#*"$probe": });" \
    "turn on the kernel's IA32 emulation (boot with the kernel parameter ia32_emulation=on, or use a kernel built with it)"
}

i686_skip() {
  if [ "${TESSIT_REQUIRE_I686:-}" = 1 ]; then
    echo "FAILED: 32-bit run required (TESSIT_REQUIRE_I686=1), but $1" >&2
    return 1
  fi
  echo "skipped: $1"
  return "$i686_skip_code"
}
