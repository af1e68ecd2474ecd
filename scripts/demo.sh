#!/usr/bin/env bash
# The main job, shown on Linux: sets up, builds the launcher and the packer,
# packs a demonstration package and runs it as a user would, with
# -NAME:Demo DEBUG, then shows what it did: the log, the extracted files,
# what the installer and the main tool received, the profile and the trace.
# Usage: scripts/demo.sh [BUILD_DIR]   (default build/linux)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
mkdir -p "$build" && build=$(cd "$build" && pwd)

. "$root/scripts/steps.sh"

quietly set-up "$root/scripts/setup.sh"
quietly demo-configure cmake -S "$root" --preset linux -B "$build"
quietly demo-build cmake --build "$build" -j 2 --target tessit tessit-pack

demo=$build/demo
rm -rf "$demo"
mkdir -p "$demo/package/docs" "$demo/bin" "$demo/tmp" "$demo/config"

# The packaged programs say what they received and where, into a report
# beside themselves: the launcher waits for the installer but not for the
# main tool.
cat > "$demo/package/mDNSResponder.exe" <<'EOF'
#!/bin/sh
cd "$(dirname "$0")"
echo "installer: started in $(pwd) with: $*" >> report.txt
sleep 1
echo "installer: done, exiting with 3 (the launcher goes on regardless)" >> report.txt
exit 3
EOF
cat > "$demo/package/QIRA_t.exe" <<'EOF'
#!/bin/sh
printf 'main tool: started in %s with %d argument: "%s"\n' "$(pwd)" "$#" "$(printf '%s' "$1" | sed 's/\t/<TAB>/g')" >> report.txt
EOF
chmod +x "$demo/package/mDNSResponder.exe" "$demo/package/QIRA_t.exe"
echo "Read me: this file came out of the package into a sub-folder." > "$demo/package/docs/readme.txt"
echo "a control that regsvr32 registers" > "$demo/package/Viewer.ocx"
# regsvr32 is looked up on PATH; this stand-in only reports its call.
cat > "$demo/bin/regsvr32" <<EOF
#!/bin/sh
echo "regsvr32: \$*" >> "$demo/tmp/regsvr32-calls.txt"
EOF
chmod +x "$demo/bin/regsvr32"

packer=$build/tools/tessit-pack/tessit-pack
"$packer" build -l "$build/app/tessit" -o "$demo/Tessit" --oem 47 "$demo/package"

section() { printf '\n== %s ==\n' "$1"; }
section "The package ($packer list)"
"$packer" list "$demo/Tessit"

section "Run: Tessit -NAME:Demo DEBUG (the DEBUG log box is the information line)"
status=0
TMPDIR=$demo/tmp XDG_CONFIG_HOME=$demo/config TESSIT_TRACE=$demo/trace.txt \
  PATH=$demo/bin:/usr/bin:/bin "$demo/Tessit" -NAME:Demo DEBUG || status=$?
echo "exit code: $status"

temp=$demo/tmp/tessit-$(id -u)
for _ in $(seq 50); do grep -q '^main tool' "$temp/report.txt" 2>/dev/null && break; sleep 0.1; done

section "Extracted files (below $temp)"
(cd "$temp" && find . -type f ! -name report.txt ! -name '*.lock' | sort)
section "What the installer, regsvr32 and the main tool received"
cat "$temp/report.txt" "$demo/tmp/regsvr32-calls.txt"
section "Profile ($demo/config/QIRA/QIRA.conf)"
cat "$demo/config/QIRA/QIRA.conf"
section "Trace lines ($demo/trace.txt)"
cat "$demo/trace.txt"
echo
