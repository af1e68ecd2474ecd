#!/usr/bin/env bash
# Sets up the machine, builds all three targets, checks that the release
# i686 launcher stays within 1 MiB and runs every test: the native suite, the
# same under AddressSanitizer and UndefinedBehaviorSanitizer, one launcher
# run under valgrind's memcheck, then each Windows build's suites and its
# end-to-end run under Wine: x86_64, and i686, the build users run.
# Where the kernel runs no 32-bit programs, the i686 runs go through
# qemu-i386's emulation (scripts/i686-emulation.sh): the i686 tests that need
# the kernel's own 32-bit support are reported as skipped there, with the
# reason, and the end-to-end run checks the release launcher instead of the
# test build's. Where neither way works, every i686 run is skipped with the
# reason (TESSIT_REQUIRE_I686=1 makes them fail instead). Wherever emulation
# works, the signed release i686 launcher also runs end to end under it.
# A failing test does not stop the tests after it. The last line counts what
# ran, each CTest test and each other check once:
# "tests: N passed, N failed, N skipped".
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/steps.sh
. scripts/wine-loader.sh

passed=0 failed=0 skipped=0 failures=()
results=$PWD/build/logs/test-results
rm -rf "$results"
mkdir -p "$results"
finish() {
  steps_report "$1"
  [ ${#failures[@]} -eq 0 ] || printf 'test.sh: FAILED: %s\n' "${failures[@]}" >&2
  echo "tests: $passed passed, $failed failed, $skipped skipped"
  [ "$1" -ne 0 ] || [ ${#failures[@]} -eq 0 ] || exit 1
}
trap 'finish $?' EXIT

# counted_ctest COMMAND...: a command that ends by running ctest with the
# arguments given to it; each of its tests is counted (a skipped one as
# skipped), and a run that fails without a failed test counts as one.
junit_count() { # junit_count ATTRIBUTE: that count of the test suite in $junit
  tr '\n\t' '  ' <"$junit" | sed -n "s/.*<testsuite [^>]* $1=\"\([0-9]*\)\".*/\1/p" | head -1
}
counted_ctest() {
  local junit status=0 total=0 failing=0 skipping=0
  junit=$results/$(printf '%s' "$step_name" | tr -c 'A-Za-z0-9' -).xml
  "$@" --output-junit "$junit" || status=$?
  if [ -s "$junit" ]; then
    total=$(junit_count tests) failing=$(junit_count failures) skipping=$(junit_count skipped)
  fi
  passed=$((passed + total - failing - skipping))
  skipped=$((skipped + skipping))
  [ "$status" -eq 0 ] || [ "$failing" -gt 0 ] || failing=1
  failed=$((failed + failing))
  [ "$status" -eq 0 ] || failures+=("$step_name")
}
# counted_check COMMAND...: one test (exit code 77: skipped).
counted_check() {
  local status=0
  "$@" || status=$?
  case $status in
    0) passed=$((passed + 1)) ;;
    "$i686_skip_code") skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)); failures+=("$step_name") ;;
  esac
}

step "set-up"
quietly set-up scripts/setup.sh
step "build"
scripts/build.sh
step "size of the release i686 launcher"
counted_check scripts/size-report.sh --check

step "native suite"
counted_ctest ctest --preset linux
step "native suite under the sanitizers"
counted_ctest scripts/sanitize.sh
step "memcheck"
counted_check scripts/memcheck.sh

step "32-bit support"
i686=$(i686_way)
case $i686 in
  native) echo "this machine runs 32-bit programs: the i686 suites and end-to-end run run as well" ;;
  emulated)
    echo "this machine's kernel runs no 32-bit programs: the i686 runs go through qemu-i386's emulation," \
      "and the i686 tests that need the kernel's own are skipped" ;;
  *)
    if [ "${TESSIT_REQUIRE_I686:-}" = 1 ]; then
      echo "the i686 suites and end-to-end run will FAIL (TESSIT_REQUIRE_I686=1): $(i686_unrunnable_reason)"
    else
      echo "the i686 suites and end-to-end run will be skipped: $(i686_unrunnable_reason)"
    fi ;;
esac

export TESSIT_WINEPREFIX="$PWD/build/wineprefix"
rm -rf "$TESSIT_WINEPREFIX"
scripts/wine-run.sh --init
step "Windows x86_64 suites and end-to-end run"
counted_ctest ctest --preset win64
step "Windows i686 suites and end-to-end run"
if [ "$i686" = emulated ]; then
  # The end-to-end run below checks the release launcher, the one users run.
  counted_ctest ctest --preset win32 -E '^WindowsEndToEnd$'
else
  counted_ctest ctest --preset win32
fi

# The signed release i686 launcher, end to end, under emulation on every
# machine where emulation works: the kernel's own 32-bit support is taken
# for missing, and the run must not be skipped.
step "end-to-end run of the signed release i686 launcher under qemu-i386's emulation"
emulation=$(i686_emulation_reason)
if [ -n "$emulation" ]; then
  echo "skipped: $emulation"
  skipped=$((skipped + 1))
else
  quietly build-release-win32 cmake --build --preset release-win32 -j "${TESSIT_JOBS:-2}"
  counted_check env TESSIT_I686_PROBE=/dev/null TESSIT_REQUIRE_I686=1 \
    TESSIT_LAUNCHER_MAP="$PWD/build/release-win32/app/tessit.map" tests/windows/e2e.sh \
    build/release-win32/app/Tessit.exe build/release-win32/tools/tessit-pack/tessit-pack.exe build/win32/tests/windows
fi
