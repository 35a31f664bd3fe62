#!/usr/bin/env bash
# Builds the Windows program with the stand-in host and runs the end-to-end
# scenarios under Wine (an own Xvfb; a Wine prefix kept in the build folder).
# Which program and Wine: scripts/wine-choice.sh.
#   scripts/e2e.sh [--only NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-choice.sh
prepare_wine
# shellcheck disable=SC2119 # the program and the host only, no further target
build_wine_program

exec python3 tests/e2e/run_e2e.py "$WINE_BUILD" "$@"
