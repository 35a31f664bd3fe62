#!/usr/bin/env bash
# Times the installer under Wine against baselines of our own, interleaved
# round by round, and prints one table of medians, ratios and the common
# library's call counts. Not part of the tests. Same Wine choice as the
# scenarios (scripts/wine-choice.sh).
#   scripts/bench.sh [--rounds N] [--only GROUP...]
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
[ -n "${LEXPLANT_SETUP_DONE:-}" ] || as_root bash scripts/setup.sh >/dev/null

source scripts/wine-choice.sh
choose_wine
echo "$WINE_LINE"
build_wine_program bench_all >/dev/null

exec python3 tests/bench/run_bench.py "$WINE_BUILD" "$@"
