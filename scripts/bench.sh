#!/usr/bin/env bash
# Times the installer under Wine against baselines of our own, interleaved
# round by round, and prints one table of medians, ratios and the common
# library's call counts. Not part of the tests. Same Wine choice as the
# scenarios (scripts/wine-choice.sh).
#   scripts/bench.sh [--rounds N] [--only GROUP...]
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-choice.sh
prepare_wine
build_wine_program bench_all >/dev/null

exec python3 tests/bench/run_bench.py "$WINE_BUILD" "$@"
