#!/usr/bin/env bash
# Sets up a Debian machine and runs every test: the native suites (plain and
# with AddressSanitizer/UBSan), a short fuzzing run, the Windows build with
# its resource check, and the end-to-end scenarios under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
as_root bash scripts/setup.sh
export LEXPLANT_SETUP_DONE=1

jobs=$(nproc)
passed=0
failed=0

# Adds the counts of one ctest run to the totals; fails the script on red.
run_ctest() {
  local preset=$1 log
  log=$(mktemp)
  set +e
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1 || true)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
  rm -f "$log"
  return "$rc"
}

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
run_ctest native

echo "== native build with AddressSanitizer and UBSan"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest native-asan

echo "== fuzzing the path comparison and split"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
for fuzzer in build/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  "$fuzzer" -runs="${FUZZ_RUNS:-300000}" -max_len=600 -dict=tests/fuzz/paths.dict 2>&1 | tail -n 2
done

echo "== Windows build"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
python3 tests/resources/check_strings.py build/mingw/LexPlant.exe

echo "== end-to-end scenarios under Wine"
set +e
e2e_log=$(mktemp)
bash scripts/e2e.sh 2>&1 | tee "$e2e_log"
e2e_rc=${PIPESTATUS[0]}
set -e
line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$e2e_log" | tail -n1 || true)
if [ -n "$line" ]; then
  passed=$((passed + $(sed -E 's/^([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.*passed, ([0-9]+) failed.*/\1/' <<<"$line")))
elif [ "$e2e_rc" -ne 0 ]; then
  failed=$((failed + 1))
fi
rm -f "$e2e_log"

echo "total: ${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ] && [ "$e2e_rc" -eq 0 ]
