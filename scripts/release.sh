#!/usr/bin/env bash
# Builds what ships, from the release presets (Release, stripped), and writes
# dist/:
#   windows-i686/Tessit.exe, windows-i686/tessit-pack.exe       the build users run
#   windows-x86_64/Tessit.exe, windows-x86_64/tessit-pack.exe
#   tessit-VERSION-linux-x86_64.tar.gz                         bin/: tessit-pack; the launchers
#                                                              in lib/tessit/ and share/tessit/;
#                                                              manual pages, completion, copyright
#   tessit_VERSION_amd64.deb                                   the same below /usr
#   SHA256SUMS
# The Linux package and tarball carry the three release launchers where
# `tessit-pack build --target` finds them: lib/tessit/linux-x86_64/tessit,
# share/tessit/windows-<arch>/Tessit.exe. lintian must find no error in the
# Debian package.
# Everything is built twice, from this folder into build/release-* and from
# a copy of the sources in another folder, and the two sets of artifacts must
# be byte-identical; the i686 Tessit.exe must take at most 1 MiB. Then the
# Windows end-to-end run checks the released Tessit.exe and tessit-pack.exe
# of both Windows builds under Wine; where the kernel runs no 32-bit programs
# the i686 run goes through qemu-i386's emulation, and where that cannot run
# them either, it is skipped with the reason (TESSIT_REQUIRE_I686=1 fails it
# instead). The last line counts the end-to-end runs. Hidden output goes to
# build/logs/.
# Usage: scripts/release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/steps.sh
. scripts/wine-loader.sh
step "set-up"
quietly set-up scripts/setup.sh
. scripts/require.sh
require_commands cmake ninja cpack git tar gzip sha256sum cmp dpkg-deb lintian

# Every time stamp an artifact carries is the last commit's.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
# ccache's base_dir would hand the compilers source paths relative to each
# build folder, which the path maps do not cover: the two builds' assertion
# texts would differ.
unset CCACHE_BASEDIR
check=$root/build/release-check
rm -rf "$check" dist
mkdir -p "$check"

# build_release SOURCE BUILDS DIST: the three targets of SOURCE built below
# BUILDS, their artifacts written to DIST.
build_release() {
  local source=$1 builds=$2 dist=$3 preset version linux packaging=$2/release-packaging
  # The Windows launchers first: the Linux package carries them.
  for preset in release-win64 release-win32 release-linux; do
    quietly "configure-$preset" cmake -S "$source" --preset "$preset" -B "$builds/$preset" \
      -DTESSIT_WINDOWS_I686_LAUNCHER="$builds/release-win32/stage/bin/Tessit.exe" \
      -DTESSIT_WINDOWS_X86_64_LAUNCHER="$builds/release-win64/stage/bin/Tessit.exe"
    cmake --build "$builds/$preset" -j "${TESSIT_JOBS:-2}" --target tessit tessit-pack
    rm -rf "$builds/$preset/stage"
    quietly "install-$preset" cmake --install "$builds/$preset" --prefix "$builds/$preset/stage"
  done
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/release-linux/CMakeCache.txt")

  mkdir -p "$dist/windows-i686" "$dist/windows-x86_64"
  cp "$builds/release-win32/stage/bin/"{Tessit.exe,tessit-pack.exe} "$dist/windows-i686/"
  cp "$builds/release-win64/stage/bin/"{Tessit.exe,tessit-pack.exe} "$dist/windows-x86_64/"

  linux=tessit-$version-linux-x86_64
  rm -rf "$packaging"
  mkdir -p "$packaging"
  cp -r "$builds/release-linux/stage" "$packaging/$linux"
  tar --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode=u=rwX,go=rX -C "$packaging" -cf - "$linux" | gzip -9n >"$dist/$linux.tar.gz"

  quietly cpack-deb cpack -G DEB --config "$builds/release-linux/CPackConfig.cmake" -B "$packaging/deb"
  cp "$packaging/deb/"*.deb "$dist/"

  (cd "$dist" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
}

step "release build in $root/build"
build_release "$root" "$root/build" "$check/dist"

step "the same from a copy of the sources in $check/source"
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

step "what the Linux package and tarball carry"
# tessit-pack of each, with the launchers it carries; build --target packs
# onto the same bytes as dist/ holds.
unpacked=$root/build/release-unpacked
rm -rf "$unpacked"
mkdir -p "$unpacked/deb" "$unpacked/tar"
dpkg-deb -x dist/tessit_*_amd64.deb "$unpacked/deb"
tar -xzf dist/tessit-*-linux-x86_64.tar.gz -C "$unpacked/tar"
echo "a file to pack" >"$unpacked/item.txt"
for tree in "$unpacked/deb/usr" "$unpacked/tar/"tessit-*-linux-x86_64; do
  # A bare launcher is no command: bin/ holds tessit-pack alone.
  if [ "$(ls "$tree/bin")" != tessit-pack ]; then
    echo "release: $tree/bin holds $(ls "$tree/bin" | tr '\n' ' ')" >&2
    exit 1
  fi
  for target in windows-i686 windows-x86_64 linux-x86_64; do
    case $target in
      linux-x86_64) released=build/release-linux/app/tessit carried=$tree/lib/tessit/$target/tessit ;;
      *) released=dist/$target/Tessit.exe carried=$tree/share/tessit/$target/Tessit.exe ;;
    esac
    if ! cmp "$released" "$carried"; then
      echo "release: $carried is not $released" >&2
      exit 1
    fi
    quietly "pack-$target" "$tree/bin/tessit-pack" build --target "$target" -o "$unpacked/packed" "$unpacked/item.txt"
    if ! cmp -n "$(stat -c %s "$released")" "$released" "$unpacked/packed"; then
      echo "release: tessit-pack build --target $target of $tree did not pack onto $released" >&2
      exit 1
    fi
  done
done
echo "both carry the three launchers, and tessit-pack build --target packs onto them"
rm -rf "$unpacked"

step "lintian on dist/tessit_*_amd64.deb"
# Any error fails the release; the warnings and notes are shown.
lintian --fail-on error --display-info dist/tessit_*_amd64.deb

# Every package a user downloads carries the i686 launcher.
launcher_size=$(stat -c %s dist/windows-i686/Tessit.exe)
if [ "$launcher_size" -gt $((1 << 20)) ]; then
  echo "release: the i686 Tessit.exe takes $launcher_size bytes, more than 1 MiB" >&2
  exit 1
fi

# The released launchers, end to end, with the stand-in programs of the
# matching test build. Where the kernel runs no 32-bit programs, the i686 run
# goes through qemu-i386's emulation; where neither runs them, it is skipped
# and says why. The last line counts the runs.
passed=0 failed=0 skipped=()
for build in win32:windows-i686 win64:windows-x86_64; do
  preset=${build%%:*} arch=${build#*:}
  step "end-to-end run of dist/$arch/Tessit.exe"
  quietly "configure-$preset" cmake --preset "$preset"
  cmake --build --preset "$preset" -j "${TESSIT_JOBS:-2}" \
    --target RecordingInstaller RecordingMainTool MessageBoxReader RecordingControl
  status=0
  TESSIT_LAUNCHER_MAP=$root/build/release-$preset/app/tessit.map \
    tests/windows/e2e.sh "$root/dist/$arch/Tessit.exe" "$root/dist/$arch/tessit-pack.exe" \
    "$root/build/$preset/tests/windows" || status=$?
  case $status in
    0) passed=$((passed + 1)) ;;
    "$i686_skip_code") skipped+=("the end-to-end run of dist/$arch/Tessit.exe") ;;
    *) failed=$((failed + 1)) ;;
  esac
done

step "dist/"
(cd dist && cat SHA256SUMS && find . -type f ! -name SHA256SUMS -printf '%10s  %P\n' | sort -k2)
for run in "${skipped[@]}"; do
  echo "release: SKIPPED $run: $(i686_unrunnable_reason)"
done
[ "$failed" -eq 0 ] || echo "release: an end-to-end run FAILED" >&2
trap - EXIT
echo "release: $passed passed, $failed failed, ${#skipped[@]} skipped"
[ "$failed" -eq 0 ]
