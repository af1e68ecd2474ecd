#!/usr/bin/env bash
# Prints, as Markdown, what the release builds weigh and what takes the space
# in the i686 launcher (read from its linker map), against the floor the C++
# runtime sets: bench/runtime_floor.cpp, which asks of the runtime what the
# launcher asks and nothing else, linked as the launcher is.
# Builds tessit, tessit-pack and runtime_floor from the release presets.
# With --check it only builds the release i686 launcher and fails when it
# takes more than 1 MiB, the most a launcher every package carries may take.
# Usage: scripts/size-report.sh [--check]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/require.sh"
. "$root/scripts/steps.sh"
require_commands cmake ninja awk
cd "$root"

budget=$((1 << 20))
size() { stat -c %s "$1"; }
kib() { awk -v b="$1" 'BEGIN { printf "%.1f KiB", b / 1024 }'; }
launcher=build/release-win32/app/Tessit.exe
floor=build/release-win32/bench/runtime_floor.exe

if [ "${1:-}" = "--check" ]; then
  quietly configure-release-win32 cmake --preset release-win32
  quietly build-release-win32 cmake --build --preset release-win32 -j "${TESSIT_JOBS:-2}" --target tessit
  if [ "$(size "$launcher")" -gt "$budget" ]; then
    echo "size-report: the release i686 Tessit.exe takes $(size "$launcher") bytes, more than 1 MiB;" \
      "scripts/size-report.sh shows what takes the space" >&2
    exit 1
  fi
  echo "size-report: the release i686 Tessit.exe takes $(size "$launcher") bytes," \
    "$(kib $((budget - $(size "$launcher")))) below 1 MiB"
  exit 0
fi

for preset in release-linux release-win64 release-win32; do
  quietly "configure-$preset" cmake --preset "$preset"
  quietly "build-$preset" cmake --build --preset "$preset" -j "${TESSIT_JOBS:-2}" --target tessit tessit-pack runtime_floor
done

# The linker map's input sections that take room in the file, as
# "component<TAB>section<TAB>bytes<TAB>object", debug sections and .bss left out.
map_sections() {
  awk '
    function hex(text,   i, value) {
      value = 0; text = tolower(substr(text, 3))
      for (i = 1; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return value
    }
    function component(file) {
      if (file ~ /libstdc\+\+\.a/) return "C++ runtime (libstdc++)"
      if (file ~ /libgcc(_eh)?\.a|crtbegin|crtend/) return "GCC support (libgcc)"
      if (file ~ /libmingw|libmsvcrt|libmoldname|libwinpthread|libpthread|crt2/) return "MinGW C runtime and threads"
      if (file ~ /KxFoundation/) return "foundation (KxFoundation)"
      if (file ~ /TessitPackage/) return "package"
      if (file ~ /TessitPlatform/) return "platform"
      if (file ~ /TessitApp|tessit\.dir/) return "app and its resources"
      if (file ~ /\.a$/) return "import tables"
      return "base relocations"
    }
    /^Linker script and memory map/ { inside = 1; next }
    !inside { next }
    /^\.[A-Za-z_]/ { split($0, field, /[ \t]+/); output = field[1]; next }
    /^ \.[^ \t]+$/ { pending = 1; next }
    {
      split($0, field, /[ \t]+/)
      if (pending && $0 ~ /^[ \t]+0x[0-9a-f]+[ \t]+0x[0-9a-f]+[ \t]+[^ \t]/) { size = field[3]; file = field[4] }
      else if ($0 ~ /^ \.[^ \t]+[ \t]+0x[0-9a-f]+[ \t]+0x[0-9a-f]+[ \t]+[^ \t]/) { size = field[4]; file = field[5] }
      else { pending = 0; next }
      pending = 0
      if (output ~ /^\.(debug|bss)/ || output == "/DISCARD/" || hex(size) == 0) next
      print component(file) "\t" output "\t" hex(size) "\t" file
    }' "$1"
}

echo "| Artifact | Size |"
echo "|---|---:|"
for file in build/release-win32/app/Tessit.exe build/release-win64/app/Tessit.exe \
            build/release-win32/tools/tessit-pack/tessit-pack.exe build/release-win64/tools/tessit-pack/tessit-pack.exe \
            build/release-linux/app/tessit build/release-linux/tools/tessit-pack/tessit-pack; do
  case $file in */release-win32/*) target="Windows i686" ;; */release-win64/*) target="Windows x86_64" ;; *) target="Linux x86_64" ;; esac
  echo "| $target \`$(basename "$file")\` | $(size "$file") bytes ($(kib "$(size "$file")")) |"
done
echo
echo "The i686 launcher, the one users run, is $(kib $((budget - $(size "$launcher")))) below 1 MiB."
echo

sections=$(mktemp)
trap 'steps_report $?; rm -f "$sections"' EXIT
map_sections build/release-win32/app/tessit.map >"$sections"
echo "What takes the i686 launcher's space, by where it comes from (bytes of its linker map's input"
echo "sections; the file adds its headers and the padding of each section to 512 bytes):"
echo
echo "| Part | Code (.text) | Unwind tables (.eh_frame) | Data, resources, imports, relocations | In all | Share |"
echo "|---|---:|---:|---:|---:|---:|"
awk -F'\t' '
  { total += $3; all[$1] += $3
    if ($2 == ".text") text[$1] += $3; else if ($2 == ".eh_frame") unwind[$1] += $3; else other[$1] += $3 }
  END { for (part in all) printf "%s\t%d\t%d\t%d\t%d\t%.1f %%\n", part, text[part], unwind[part], other[part], all[part], 100 * all[part] / total }
' "$sections" | sort -t$'\t' -k5,5nr | awk -F'\t' '{ printf "| %s | %d | %d | %d | %d | %s |\n", $1, $2, $3, $4, $5, $6 }'
echo
echo "The C++ runtime's largest pieces:"
echo
echo "| Object of libstdc++.a | Bytes | What it is |"
echo "|---|---:|---|"
awk -F'\t' '$1 ~ /^C\+\+/ { object = $4; sub(/.*\(/, "", object); sub(/\)$/, "", object); bytes[object] += $3 }
  END { for (object in bytes) printf "%d\t%s\n", bytes[object], object }' "$sections" | sort -rn | head -10 |
  while IFS=$'\t' read -r bytes object; do
    case $object in
      cow-*) layout=", reference-counted string layout" ;;
      cxx11-*) layout=", C++11 string layout" ;;
      *) layout="" ;;
    esac
    case $object in
      *wlocale-inst.o) what="the standard facets for wide text (numbers, money, time, messages)$layout: every std::locale carries them" ;;
      *locale-inst.o) what="the standard facets for narrow text$layout: every std::locale carries them" ;;
      *shim_facets.o) what="those facets bridged between the two string layouts" ;;
      *wstring-inst.o) what="std::wstring's members$layout" ;;
      *string-inst.o) what="std::string's members$layout" ;;
      *codecvt*) what="the standard code conversion facets" ;;
      *stdexcept.o) what="the standard exception classes$layout" ;;
      *) what="" ;;
    esac
    echo "| \`$object\` | $bytes | $what |"
  done
echo
part_bytes() { awk -F'\t' -v pattern="$1" '$4 ~ pattern { sum += $3 } END { print sum + 0 }' "$sections"; }
threads=$(part_bytes winpthread)
printf_family=$(part_bytes 'libmingwex_a-(mingw_pformatw?|gdtoa|misc|dmisc|gmisc)\.o')
echo "Of the MinGW part, $threads bytes are the POSIX thread layer (winpthread) that"
echo "\`std::call_once\` and the standard mutexes of the posix thread model stand on, and"
echo "$printf_family bytes MinGW's own C99 \`printf\` family, which \`__USE_MINGW_ANSI_STDIO\`"
echo "selects so that wide formats mean what the C standard says. Without both (the win32 thread"
echo "model, and msvcrt's formatting with its own meaning of the wide formats) the launcher would"
echo "be about $(kib $(($(size "$launcher") - threads - printf_family))); each would change behaviour the launcher relies on."
echo
echo "\`bench/runtime_floor.cpp\` asks of the runtime only what the launcher asks (a std::locale"
echo "with Boost's UTF-8 facet, \`lexical_cast\`, a class's name, a thrown exception, \`swprintf\`,"
echo "\`std::call_once\`, the launcher's own terminate handler, which names an exception's type"
echo "without the run time's demangler); built the same way for i686 it takes $(size "$floor") bytes"
echo "($(kib "$(size "$floor")")). That is the floor: the launcher's own code, resources and the"
echo "Windows calls it makes add $(kib $(($(size "$launcher") - $(size "$floor")))) to it."
