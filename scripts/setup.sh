#!/usr/bin/env bash
# Installs what building and testing Tessit needs on Debian 12 (as root, or
# through sudo), and any further packages named on the command line.
# Packages already present are left alone; a package qualified with a foreign
# architecture (wine32:i386) has that architecture enabled first.
# Usage: scripts/setup.sh [PACKAGE...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  libboost-dev googletest libgtest-dev libbenchmark-dev libcli11-dev libfmt-dev libssl-dev nlohmann-json3-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64 wine32:i386 xvfb x11-utils xdotool imagemagick osslsigncode openssl
  bc time valgrind xxd qemu-user
  lintian groff-base bsdextrautils bash-completion python3
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_prefix=()
[ "$(id -u)" -eq 0 ] || sudo_prefix=(sudo)
for package in "${missing[@]}"; do
  [[ $package == *:* ]] || continue
  architecture=${package##*:}
  [ "$architecture" = "$(dpkg --print-architecture)" ] && continue
  dpkg --print-foreign-architectures | grep -qx "$architecture" ||
    "${sudo_prefix[@]}" dpkg --add-architecture "$architecture"
done
export DEBIAN_FRONTEND=noninteractive
"${sudo_prefix[@]}" apt-get update -qq
"${sudo_prefix[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
