#!/usr/bin/env bash
# Runs the real Linux launcher once, end to end, under valgrind's memcheck:
# it packs a small package (installer, main tool, a control, a file in a
# sub-folder), runs it with -NAME:Memcheck DEBUG in a private temporary
# folder, configuration home and trace file, and fails on any memory error,
# any definite or indirect leak, or a run that did not reach the main tool.
# Usage: scripts/memcheck.sh [BUILD_DIR]   (default build/linux)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
mkdir -p "$build" && build=$(cd "$build" && pwd)
. "$root/scripts/require.sh"
. "$root/scripts/steps.sh"
require_commands cmake valgrind

quietly memcheck-configure cmake -S "$root" --preset linux -B "$build"
quietly memcheck-build cmake --build "$build" -j "${TESSIT_JOBS:-2}" --target tessit tessit-pack

work=$(mktemp -d)
trap 'steps_report $?; rm -rf "$work"' EXIT
mkdir -p "$work/package/docs" "$work/bin" "$work/tmp" "$work/config"
cat > "$work/package/mDNSResponder.exe" <<'EOF'
#!/bin/sh
exit 0
EOF
cat > "$work/package/QIRA_t.exe" <<'EOF'
#!/bin/sh
printf '%s\n' "$1" > "$(dirname "$0")/main-tool.txt"
EOF
cat > "$work/bin/regsvr32" <<'EOF'
#!/bin/sh
exit 0
EOF
chmod +x "$work/package/mDNSResponder.exe" "$work/package/QIRA_t.exe" "$work/bin/regsvr32"
echo "read me" > "$work/package/docs/readme.txt"
echo "control" > "$work/package/Viewer.ocx"
quietly memcheck-pack "$build/tools/tessit-pack/tessit-pack" build -l "$build/app/tessit" -o "$work/Tessit" --oem 47 "$work/package"

# The launcher's children (the packaged programs) run outside valgrind.
status=0
TMPDIR=$work/tmp XDG_CONFIG_HOME=$work/config TESSIT_TRACE=$work/trace.txt PATH=$work/bin:/usr/bin:/bin \
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --log-file="$work/memcheck.log" \
  "$work/Tessit" -NAME:Memcheck DEBUG 2>"$work/stderr.txt" || status=$?

temp=$work/tmp/tessit-$(id -u)
for _ in $(seq 50); do [ -s "$temp/main-tool.txt" ] && break; sleep 0.1; done
grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|All heap blocks were freed' "$work/memcheck.log" | sed 's/^==[0-9]*== //'
if [ "$status" -ne 0 ]; then
  cat "$work/memcheck.log" >&2
  echo "memcheck: the launcher ended with $status (99: memcheck found errors or leaks)" >&2
  exit 1
fi
if [ "$(cat "$temp/main-tool.txt" 2>/dev/null)" != $'0\t47\tMemcheck\t' ]; then
  cat "$work/stderr.txt" >&2
  echo "memcheck: the run did not reach the main tool" >&2
  exit 1
fi
echo "memcheck: no errors, no leaks"
