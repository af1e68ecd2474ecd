# Sourced by the scripts that run Windows programs under Wine: which loader
# runs a program, and how this machine runs 32-bit ones.
#
# Debian's `wine` front end starts the 32-bit loader whenever wine32 is
# installed, even for a 64-bit program, and that loader cannot start on a
# kernel without IA32 emulation. So 64-bit programs, and Wine's own helpers
# (reg, cmd, winepath, wineboot), always go through the 64-bit loader, and
# 32-bit ones through the front end: run by the kernel where it runs 32-bit
# programs, else under qemu-i386's user-mode emulation
# (scripts/i686-emulation.sh), else not at all.
#
#   pe_architecture FILE      i686 or x86_64 for a Windows program, nothing otherwise
#   wine_loader ARCH          the loader that runs ARCH programs
#   i686_way                  how 32-bit programs run here: native, emulated,
#                             or nothing where they cannot run
#   i686_unrunnable_reason    nothing where 32-bit programs run either way, else why not
#   i686_prefix_reason        nothing where the prefix ($WINEPREFIX) has its
#                             32-bit side, else why 32-bit programs fail in it
#   i686_skip REASON          says that a 32-bit run is skipped and returns
#                             the skip code or, with TESSIT_REQUIRE_I686=1,
#                             says that it fails and returns 1
#
# TESSIT_I686_PROBE names the program the kernel is tried with (default Wine's
# 32-bit loader); one that cannot run, such as /dev/null, makes any kernel
# count as one without 32-bit support, and emulation is tried next (with
# Wine's 32-bit loader). TESSIT_I686_EMULATOR names the emulator (see
# scripts/i686-emulation.sh); one that cannot be registered, such as
# /dev/null, leaves emulation out as well.

# The exit code of a run that was skipped (CTest's SKIP_RETURN_CODE).
i686_skip_code=77
# Why some 32-bit runs need a kernel that runs them. qemu-user 7.2 keeps one
# table of thread-area segments for all the threads of a process, so a
# segment register reloaded on an exception or signal takes the base of the
# thread that set it last; and it hands a fault to the program without its
# trap number, which Wine takes for an illegal instruction.
i686_emulation_limits="this run needs a kernel that runs 32-bit programs: under qemu-i386's emulation a 32-bit"\
" Wine process breaks on its first exception or signal once it has started a second thread, and a hardware"\
" fault reaches it as an illegal instruction"
wine_loader_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

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

# Nothing where the kernel runs 32-bit programs, else why not.
i686_native_reason() {
  local probe=${TESSIT_I686_PROBE:-/usr/lib/wine/wine} output status=0
  if [ ! -e "$probe" ]; then
    echo "Wine's 32-bit loader $probe is missing (wine32:i386, which scripts/setup.sh installs)"
    return 0
  fi
  output=$("$probe" --version 2>&1) || status=$?
  [ "$status" -eq 0 ] && return 0
  output=$(printf '%s\n' "$output" | head -1)
  echo "this machine does not run 32-bit programs ($probe: ${output#*"$probe": })"
}

# Nothing where Wine's 32-bit loader runs under emulation, else why not.
i686_emulation_reason() {
  local output status=0
  output=$("$wine_loader_scripts/i686-emulation.sh" /usr/lib/wine/wine --version 2>&1) || status=$?
  [ "$status" -eq 0 ] && return 0
  output=$(printf '%s\n' "$output" | head -1)
  [ -n "$output" ] || output="Wine's 32-bit loader ended with $status under it"
  echo "$output"
}

i686_way() {
  if [ -z "$(i686_native_reason)" ]; then
    echo native
  elif [ -z "$(i686_emulation_reason)" ]; then
    echo emulated
  fi
}

i686_unrunnable_reason() {
  local native emulation
  native=$(i686_native_reason)
  [ -n "$native" ] || return 0
  emulation=$(i686_emulation_reason)
  [ -n "$emulation" ] || return 0
  echo "$native; turn on the kernel's IA32 emulation (boot with the kernel parameter ia32_emulation=on," \
    "or use a kernel built with it); nor can qemu-i386 run them here ($emulation)"
}

# wineboot sets up a prefix's 32-bit side with a 32-bit program; where that
# could not run, the prefix has none, and no later wineboot adds it.
i686_prefix_reason() {
  [ -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] && return 0
  echo "the Wine prefix $WINEPREFIX has no 32-bit side (it was made where 32-bit programs could not run);" \
    "remove it, and the next run makes it anew"
}

i686_skip() {
  if [ "${TESSIT_REQUIRE_I686:-}" = 1 ]; then
    echo "FAILED: 32-bit run required (TESSIT_REQUIRE_I686=1), but $1" >&2
    return 1
  fi
  echo "skipped: $1"
  return "$i686_skip_code"
}
