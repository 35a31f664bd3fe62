# shellcheck shell=bash
# Which Wine runs the Windows programs: decided here alone, for the demo, the
# end-to-end scenarios and the benchmark. Only chooses: the set-up and the
# builds are scripts/common.sh's. Sourced, not run.
#
# The 32-bit program is the product, and runs under a 32-bit Wine wherever
# this machine executes 32-bit x86 code: the wine32:i386 package, or, where
# the package manager cannot install it, the same Wine that setup unpacked
# from its packages. Some kernels run 64-bit user code only; there the same
# program built for x64 runs under the 64-bit Wine instead.
#
# LEXPLANT_WINE=32 or LEXPLANT_WINE=x64 forces a choice; unset or "auto"
# decides by the machine.

source scripts/common.sh

WINE_LOADER_32=/usr/lib/wine/wine
WINE_LOADER_64=/usr/lib/wine/wine64

# The 32-bit Wine's loader and what it is, or fails saying why there is none.
find_wine32() {
  if [ -x "$WINE_LOADER_32" ]; then
    WINE32_LOADER=$WINE_LOADER_32
    WINE32_WHAT=
  elif WINE32_LOADER=$(wine32_unpacked_loader); then
    local version=${WINE32_LOADER%/*}
    version=${version##*/wine32-}
    WINE32_WHAT="Wine ${version%%[~-]*} unpacked from its packages: wine32 cannot be installed here"
  else
    echo "Wine: no 32-bit Wine here: neither $WINE_LOADER_32 (package wine32:i386) nor one unpacked by scripts/setup.sh" >&2
    return 1
  fi
}

# Sets WINE_PROGRAM (32 or x64), WINE_PRESET and WINE_BUILD (the CMake preset
# and build folder of that program) and WINE_LINE, the one line that says
# what runs and why; exports the 32-bit loader for the Python side. Fails,
# saying why, when the chosen Wine cannot run.
choose_wine() {
  local want=${LEXPLANT_WINE:-auto} natural=32 reasons=()
  can_execute_i386 || natural=x64
  case "$want" in
    auto | "$natural")
      WINE_PROGRAM=$natural
      # A forced choice that is the machine's own says the machine's reason.
      [ "$natural" = 32 ] || reasons+=("this machine cannot execute 32-bit code")
      ;;
    32 | x64)
      WINE_PROGRAM=$want
      reasons+=("LEXPLANT_WINE=$want")
      ;;
    *)
      echo "LEXPLANT_WINE must be 32, x64 or auto, not '$want'" >&2
      return 1
      ;;
  esac
  if [ "$WINE_PROGRAM" = 32 ]; then
    if ! can_execute_i386; then
      echo "Wine: cannot run the 32-bit program: this machine cannot execute 32-bit code" >&2
      return 1
    fi
    find_wine32 || return 1
    [ -z "$WINE32_WHAT" ] || reasons+=("$WINE32_WHAT")
    export LEXPLANT_WINE32_LOADER=$WINE32_LOADER
    WINE_PRESET=mingw
  else
    if [ ! -x "$WINE_LOADER_64" ]; then
      echo "Wine: cannot run the x64 program: no 64-bit Wine at $WINE_LOADER_64 (package wine64)" >&2
      return 1
    fi
    WINE_PRESET=mingw64
  fi
  local detail
  detail=$(printf '%s; ' "${reasons[@]}")
  detail=${detail%; }
  WINE_LINE="Wine: ${WINE_PROGRAM/32/32-bit} program${detail:+ ($detail)}"
  WINE_BUILD=build/$WINE_PRESET
}

# The programs the tests run here: both where 32-bit code executes, so that
# the x64 path cannot rot unnoticed, else the x64 one. A forced choice runs
# that one alone.
wine_programs() {
  case "${LEXPLANT_WINE:-auto}" in
    auto) if can_execute_i386; then echo "32 x64"; else echo "x64"; fi ;;
    *) echo "$LEXPLANT_WINE" ;;
  esac
}
