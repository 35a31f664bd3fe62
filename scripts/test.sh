#!/usr/bin/env bash
# Sets up a Debian machine and runs every test: the native suites (plain and
# with AddressSanitizer/UBSan), a short fuzzing run, the Windows build with
# its resource check, and the end-to-end scenarios under Wine. Every stage
# runs even when an earlier one failed, so one report covers them all; the
# last line counts what passed and failed.
set -uo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-choice.sh
echo "== set-up"
TIMEFORMAT='set-up took %1R s'
time run_setup || exit 1

jobs=$(nproc)
passed=0
failed=0
broken=()  # stages that failed outright

# Runs one stage; a failure is remembered and counted once, not fatal.
stage() {
  local name=$1
  shift
  if ! "$@"; then
    broken+=("$name")
    return 1
  fi
}

# Adds one run's result line to the totals: ctest's "N% tests passed, F
# tests failed out of T" or the scenarios' "P passed, F failed".
count_results() {
  local counts
  counts=$(sed -nE -e 's/.*tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\2-\1 \1/p' \
    -e 's/^([0-9]+) passed, ([0-9]+) failed.*/\1 \2/p' "$1" | tail -n1)
  [ -n "$counts" ] || return 0
  passed=$((passed + ${counts% *}))
  failed=$((failed + ${counts#* }))
}

# Configures, builds and tests one native preset.
native_suite() {
  local preset=$1 log rc
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" || return 1
  log=$(mktemp)
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  count_results "$log"
  rm -f "$log"
  return "$rc"
}

# One target's short run; crash reproducers land in the build tree, not in
# the sources.
fuzz_run() {
  local target=$1 runs=$2
  shift 2
  "build/fuzz/$target" -runs="$runs" -artifact_prefix=build/fuzz/ "$@" 2>&1 | tail -n 2
}

fuzz() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$jobs" || return 1
  fuzz_run fuzz_paths "${FUZZ_RUNS:-300000}" -max_len=600 -dict=tests/fuzz/paths.dict || return 1
  # Each list input runs several operations: fewer inputs take as long.
  fuzz_run fuzz_lists "${FUZZ_LIST_RUNS:-50000}" -max_len=160
}

# Builds one Windows program with its stand-in host and checks its resources.
windows_build() {
  local preset=$1 arch=$2
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" &&
    python3 tests/resources/check_strings.py --arch "$arch" "build/$preset/LexPlant.exe"
}

# The scenarios on one program (32 or x64), counted into the totals.
end_to_end() {
  local program=$1 log rc line
  log=$(mktemp)
  # A Wine that stops answering must not hold CI: the scenarios take about a
  # minute or two.
  LEXPLANT_WINE=$program timeout 20m bash scripts/e2e.sh 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  count_results "$log"
  rm -f "$log"
  return "$rc"
}

# The release: the kit check, bad input, a signed kit (run through one
# scenario under the scenarios' Wine), and two clean builds of the product
# compared byte for byte.
release() {
  local wine=() log rc
  if choose_wine >/dev/null 2>&1; then wine=(--wine-preset "$WINE_PRESET"); fi
  log=$(mktemp)
  python3 tests/release/run_release.py "${wine[@]}" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  count_results "$log"
  rm -f "$log"
  bash scripts/release.sh --check mingw && [ "$rc" -eq 0 ]
}

echo "== native build and unit tests"
stage "native unit tests" native_suite native

echo "== native build with AddressSanitizer and UBSan"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 stage "sanitized unit tests" native_suite native-asan

echo "== fuzzing the path comparison and split, and the list operations"
stage "fuzzing" fuzz

echo "== Windows builds (32-bit and x64) and resource checks"
stage "32-bit Windows build" windows_build mingw x86
stage "x64 Windows build" windows_build mingw64 amd64

for program in $(wine_programs); do
  echo "== end-to-end scenarios under Wine: the ${program/32/32-bit} program"
  stage "end-to-end scenarios, ${program/32/32-bit} program" end_to_end "$program"
done

echo "== release: the kit check, signing, reproducible bytes"
stage "release" release

for name in "${broken[@]}"; do
  echo "FAILED: $name"
done
# A stage that failed without a test to blame (a build, the fuzzer, a
# crashed runner) still counts as one failure.
if [ "${#broken[@]}" -gt 0 ] && [ "$failed" -eq 0 ]; then
  failed=${#broken[@]}
fi
echo "total: ${passed} passed, ${failed} failed"
[ "${#broken[@]}" -eq 0 ] && [ "$failed" -eq 0 ]
