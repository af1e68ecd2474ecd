#!/usr/bin/env bash
# Runs COMMAND where every 32-bit x86 Linux program it starts (Wine's 32-bit
# loader and the Windows programs that loader starts) runs under qemu-i386's
# user-mode emulation: for a machine whose kernel runs no 32-bit programs.
# 64-bit programs COMMAND starts (wineserver, Wine's 64-bit loader) run as
# they would without it.
#
# The emulator is registered for COMMAND alone, in a binfmt_misc of its own
# inside a new user and mount namespace (Linux 6.7 or later lets a user
# namespace mount one): nothing on the machine changes and no other process
# sees it. Registering takes root in that namespace; COMMAND then runs in a
# namespace nested in it that maps the calling user back to itself, so that
# Wine finds its prefix and its server's folder its own (it refuses a prefix
# another user owns) and shares one server with the Wine programs started
# outside. The flag F has the kernel open the emulator once, when it is
# registered.
#
# The emulated address space ends at 0x82000000: the 2 GiB a Windows program
# that is not large-address-aware has, and the range above it where Wine
# keeps the shared user data and its own top-down area. Wine reserves all the
# rest of a 4 GiB space, and qemu-user 7.2 looks for free room page by page,
# which made each program's start take 40 s or more instead of 3 s.
#
# TESSIT_I686_EMULATOR names the emulator (default /usr/bin/qemu-i386).
# Usage: scripts/i686-emulation.sh COMMAND [ARGUMENT...]
set -euo pipefail
emulator=${TESSIT_I686_EMULATOR:-/usr/bin/qemu-i386}
me=$(basename "$0")
if [ ! -e "$emulator" ]; then
  echo "$me: the emulator $emulator is missing (qemu-user, which scripts/setup.sh installs)" >&2
  exit 1
fi
export QEMU_RESERVED_VA=0x82000000
# The ELF header of a 32-bit x86 executable or shared object (any OS/ABI
# byte), as Debian's qemu-user-binfmt registers it.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# The inner shell says what failed on one line, with the system's reason.
exec unshare --user --map-root-user --mount -- bash -c '
  me=$1 uid=$2 gid=$3 emulator=$4 registration=$5
  shift 5
  reason() { sed -n "\$s/^.*: //p" <<<"$1"; }
  if ! error=$(mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>&1); then
    echo "$me: binfmt_misc cannot be mounted in a user namespace (it takes Linux 6.7 or later): $(reason "$error")" >&2
    exit 1
  fi
  if ! error=$( { printf "%s" "$registration" >/proc/sys/fs/binfmt_misc/register; } 2>&1); then
    echo "$me: $emulator cannot be registered as the interpreter of 32-bit programs: $(reason "$error")" >&2
    exit 1
  fi
  exec unshare --user --map-user="$uid" --map-group="$gid" -- "$@"
' "$me" "$me" "$(id -u)" "$(id -g)" "$emulator" ":tessit-i386:M::$magic:$mask:$emulator:F" "$@"
