#!/usr/bin/env bash
# Builds the program and the stand-in host, then runs the installer in a Wine
# prefix of its own with three sample option dictionaries and prints what it
# did. With a DISPLAY you answer the dialogs; without one it runs under Xvfb
# and answers as a first-time user. A second run shows the overwrite question.
# Which program and Wine: scripts/wine-choice.sh.
#   scripts/demo.sh [--reset] [--headless]
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-choice.sh
prepare_wine
# shellcheck disable=SC2119 # the program and the host only, no further target
build_wine_program >/dev/null

exec python3 tests/e2e/demo.py "$WINE_BUILD" "$@"
