#!/usr/bin/env bash
# Sets up a Debian machine and runs every test: set-up's own table, shellcheck
# over the scripts, the native suites (plain and with AddressSanitizer/UBSan),
# a short fuzzing run, the Windows builds with their resource checks, the
# end-to-end scenarios under Wine and the release. Every stage runs even when
# an earlier one failed, so one report covers them all; the last line counts
# what passed and failed and names the stages that failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

source scripts/wine-choice.sh
echo "== set-up"
TIMEFORMAT='set-up took %1R s'
time run_setup || exit 1

jobs=$(nproc)
passed=0
failed=0
failed_stages=()
# Where a stage's test runners add their counts, a line "PASSED FAILED" per
# run (LEXPLANT_COUNTS): read as numbers, never scraped from a summary.
counts_file=$(mktemp)
trap 'rm -f "$counts_file"' EXIT

# Runs one stage and adds it to the totals. A "counted" stage's runners
# report their own counts, and one that reports none failed, whatever its
# status; a "step" counts as one check. A stage that fails adds at least one
# failure.
stage() {
  local name=$1 kind=$2 rc=0 p f n
  shift 2
  : >"$counts_file"
  LEXPLANT_COUNTS=$counts_file "$@" || rc=$?
  read -r p f n < <(awk '{p += $1; f += $2; n++} END {print p + 0, f + 0, n + 0}' "$counts_file")
  if [ "$kind" = step ]; then
    p=$((rc == 0)) f=$((rc != 0))
  elif [ "$n" -eq 0 ]; then
    echo "$name: no totals could be read: counted as failed"
    rc=1
  fi
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  passed=$((passed + p))
  failed=$((failed + f))
  if [ "$rc" -ne 0 ] || [ "$f" -gt 0 ]; then failed_stages+=("$name"); fi
}

# Adds a ctest run's counts, read from its JUnit report.
junit_counts() {
  python3 - "$1" >>"$LEXPLANT_COUNTS" <<'EOF'
import sys
import xml.etree.ElementTree as ET
suite = ET.parse(sys.argv[1]).getroot()
tests, bad = int(suite.get("tests")), int(suite.get("failures")) + int(suite.get("errors", 0))
print(tests - bad, bad)
EOF
}

# Configures, builds and tests one native preset.
native_suite() {
  local preset=$1 junit rc=0
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" || return 1
  junit=$(mktemp)
  ctest --preset "$preset" -j "$jobs" --output-junit "$junit" || rc=$?
  junit_counts "$junit" || rc=1
  rm -f "$junit"
  return "$rc"
}

# Each script checked on its own, and counted.
shellcheck_scripts() {
  local script ok=0 bad=0
  for script in scripts/*.sh .ci/run; do
    if shellcheck -x "$script"; then ok=$((ok + 1)); else bad=$((bad + 1)); fi
  done
  echo "$ok $bad" >>"$LEXPLANT_COUNTS"
  [ "$bad" -eq 0 ]
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

# The scenarios on one program (32 or x64). A Wine that stops answering must
# not hold CI: the scenarios take a minute or two.
end_to_end() {
  LEXPLANT_WINE=$1 timeout 20m bash scripts/e2e.sh
}

# The release: the kit check, bad input, a signed kit (run through one
# scenario under the scenarios' Wine), and two clean builds of the product
# compared byte for byte.
release() {
  local wine=() rc=0
  if choose_wine >/dev/null 2>&1; then wine=(--wine-preset "$WINE_PRESET"); fi
  python3 tests/release/run_release.py "${wine[@]}" || rc=$?
  bash scripts/release.sh --check mingw || rc=1
  return "$rc"
}

echo "== set-up against simulated machines"
stage "set-up table" counted python3 tests/setup/run_setup_test.py

echo "== shellcheck"
stage "shellcheck" counted shellcheck_scripts

echo "== native build and unit tests"
stage "native unit tests" counted native_suite native

echo "== native build with AddressSanitizer and UBSan"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 stage "sanitized unit tests" counted native_suite native-asan

echo "== fuzzing the path comparison and split, and the list operations"
stage "fuzzing" step fuzz

echo "== Windows builds (32-bit and x64) and resource checks"
stage "32-bit Windows build" step windows_build mingw x86
stage "x64 Windows build" step windows_build mingw64 amd64

for program in $(wine_programs); do
  echo "== end-to-end scenarios under Wine: the ${program/32/32-bit} program"
  stage "end-to-end scenarios, ${program/32/32-bit} program" counted end_to_end "$program"
done

echo "== release: the kit check, signing, reproducible bytes"
stage "release" counted release

summary="total: ${passed} passed, ${failed} failed"
if [ "${#failed_stages[@]}" -gt 0 ]; then
  summary+=" (failed: $(printf '%s, ' "${failed_stages[@]}"))"
  summary=${summary%, )}")"
fi
echo "$summary"
[ "${#failed_stages[@]}" -eq 0 ]
