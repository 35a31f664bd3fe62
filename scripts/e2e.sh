#!/usr/bin/env bash
# Builds the Windows program with the stand-in host and runs the end-to-end
# scenarios under Wine (an own Xvfb; a Wine prefix kept in build/mingw/e2e).
#   scripts/e2e.sh [--only NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
[ -n "${LEXPLANT_SETUP_DONE:-}" ] || as_root bash scripts/setup.sh >/dev/null

build=build/mingw
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset mingw >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target LexPlant host_all

exec python3 tests/e2e/run_e2e.py "$build" "$@"
