#!/usr/bin/env bash
# Builds what ships, from the release presets (Release, stripped), and writes
# dist/:
#   windows-i686/Tessit.exe, windows-i686/tessit-pack.exe       the build users run
#   windows-x86_64/Tessit.exe, windows-x86_64/tessit-pack.exe
#   tessit-VERSION-linux-x86_64.tar.gz                         tessit and tessit-pack
#   tessit_VERSION_amd64.deb
#   SHA256SUMS
# Everything is built twice, from this folder into build/release-* and from
# a copy of the sources in another folder, and the two sets of artifacts must
# be byte-identical; the i686 Tessit.exe must take at most 1 MiB. Then the
# Windows end-to-end run checks the released Tessit.exe and tessit-pack.exe
# of both Windows builds under Wine.
# Usage: scripts/release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
. scripts/require.sh
require_commands cmake ninja cpack git tar gzip sha256sum cmp

# Every time stamp an artifact carries is the last commit's.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
check=$root/build/release-check
rm -rf "$check" dist
mkdir -p "$check"

# build_release SOURCE BUILDS DIST: the three targets of SOURCE built below
# BUILDS, their artifacts written to DIST.
build_release() {
  local source=$1 builds=$2 dist=$3 preset version linux packaging=$2/release-packaging
  for preset in release-linux release-win64 release-win32; do
    (cd "$source" && cmake --preset "$preset" -B "$builds/$preset" >/dev/null)
    cmake --build "$builds/$preset" -j "${TESSIT_JOBS:-2}" --target tessit tessit-pack
    rm -rf "$builds/$preset/stage"
    cmake --install "$builds/$preset" --prefix "$builds/$preset/stage" >/dev/null
  done
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/release-linux/CMakeCache.txt")

  mkdir -p "$dist/windows-i686" "$dist/windows-x86_64"
  cp "$builds/release-win32/stage/bin/"{Tessit.exe,tessit-pack.exe} "$dist/windows-i686/"
  cp "$builds/release-win64/stage/bin/"{Tessit.exe,tessit-pack.exe} "$dist/windows-x86_64/"

  linux=tessit-$version-linux-x86_64
  rm -rf "$packaging"
  mkdir -p "$packaging/$linux"
  cp "$builds/release-linux/stage/bin/"{tessit,tessit-pack} "$packaging/$linux/"
  tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode=u=rwX,go=rX -C "$packaging" -cf - "$linux" | gzip -9n >"$dist/$linux.tar.gz"

  (cd "$builds/release-linux" && cpack -G DEB -B "$packaging/deb" >/dev/null)
  cp "$packaging/deb/"*.deb "$dist/"

  (cd "$dist" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
}

echo "== release build in $root/build"
build_release "$root" "$root/build" "$check/dist"

echo "== the same from a copy of the sources in $check/source"
mkdir -p "$check/source"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$check/source"
build_release "$check/source" "$check/build" "$check/dist-again"

if ! diff -r "$check/dist" "$check/dist-again" >/dev/null; then
  echo "release: the two builds differ:" >&2
  diff -r "$check/dist" "$check/dist-again" >&2 || true
  exit 1
fi
echo "== both builds gave the same bytes"
mv "$check/dist" dist
rm -rf "$check"

# Every package a user downloads carries the i686 launcher.
launcher_size=$(stat -c %s dist/windows-i686/Tessit.exe)
if [ "$launcher_size" -gt $((1 << 20)) ]; then
  echo "release: the i686 Tessit.exe takes $launcher_size bytes, more than 1 MiB" >&2
  exit 1
fi

# The released launchers, end to end, with the stand-in programs of the
# matching test build.
for build in win32:windows-i686 win64:windows-x86_64; do
  preset=${build%%:*} arch=${build#*:}
  echo "== end-to-end run of dist/$arch/Tessit.exe"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "${TESSIT_JOBS:-2}" \
    --target RecordingInstaller RecordingMainTool MessageBoxReader RecordingControl
  TESSIT_LAUNCHER_MAP=$root/build/release-$preset/app/tessit.map \
    tests/windows/e2e.sh "$root/dist/$arch/Tessit.exe" "$root/dist/$arch/tessit-pack.exe" "$root/build/$preset/tests/windows"
done

echo "== dist/"
(cd dist && cat SHA256SUMS && find . -type f ! -name SHA256SUMS -printf '%10s  %P\n' | sort -k2)
