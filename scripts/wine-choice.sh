# Which Wine runs the Windows programs: decided here alone, for the demo, the
# end-to-end scenarios and the benchmark. Sourced, not run.
#
# The 32-bit program is the product, and runs under the 32-bit Wine wherever
# this machine can execute 32-bit x86 code. Some kernels run 64-bit user code
# only; there the 32-bit Wine loader cannot start, and the same program built
# for x64 runs under the 64-bit Wine instead.
#
# LEXPLANT_WINE=32 or LEXPLANT_WINE=x64 forces a choice; unset or "auto"
# decides by the machine.

WINE_LOADER_32=/usr/lib/wine/wine
WINE_LOADER_64=/usr/lib/wine/wine64
I386_EXIT_CODE=42

# True when this kernel runs a 32-bit x86 program: a static one of 94 bytes
# that only exits with 42, so that no 32-bit library has to be installed.
can_execute_i386() {
  local probe rc
  probe=$(mktemp) || return 1
  {
    # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
    # One loadable, executable segment holding the whole file.
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
    printf '\x5e\x00\x00\x00\x5e\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
    # mov ebx, 42; xor eax, eax; inc eax; int 0x80: exit(42).
    printf '\xbb\x2a\x00\x00\x00\x31\xc0\x40\xcd\x80'
  } >"$probe"
  chmod +x "$probe"
  "$probe" >/dev/null 2>&1
  rc=$?
  rm -f "$probe"
  [ "$rc" -eq "$I386_EXIT_CODE" ]
}

# Sets WINE_PROGRAM (32 or x64), WINE_PRESET and WINE_BUILD (the CMake preset
# and build folder of that program) and WINE_LINE, the one line that says
# what runs and why. Fails, saying why, when the chosen Wine cannot run.
choose_wine() {
  local want=${LEXPLANT_WINE:-auto} reason=
  case "$want" in
    auto)
      if ! can_execute_i386; then
        WINE_PROGRAM=x64
        reason="this machine cannot execute 32-bit code"
      elif [ ! -x "$WINE_LOADER_32" ]; then
        WINE_PROGRAM=x64
        reason="no 32-bit Wine here: wine32:i386 could not be installed"
      else
        WINE_PROGRAM=32
      fi
      ;;
    32 | x64)
      WINE_PROGRAM=$want
      reason="LEXPLANT_WINE=$want"
      ;;
    *)
      echo "LEXPLANT_WINE must be 32, x64 or auto, not '$want'" >&2
      return 1
      ;;
  esac
  if [ "$WINE_PROGRAM" = 32 ]; then
    WINE_PRESET=mingw
    WINE_LINE="Wine: 32-bit program${reason:+ ($reason)}"
    if ! can_execute_i386; then
      echo "Wine: cannot run the 32-bit program: this machine cannot execute 32-bit code" >&2
      return 1
    fi
    if [ ! -x "$WINE_LOADER_32" ]; then
      echo "Wine: cannot run the 32-bit program: no 32-bit Wine at $WINE_LOADER_32 (package wine32:i386)" >&2
      return 1
    fi
  else
    WINE_PRESET=mingw64
    WINE_LINE="Wine: x64 program${reason:+ ($reason)}"
    if [ ! -x "$WINE_LOADER_64" ]; then
      echo "Wine: cannot run the x64 program: no 64-bit Wine at $WINE_LOADER_64 (package wine64)" >&2
      return 1
    fi
  fi
  WINE_BUILD=build/$WINE_PRESET
}

# The programs the tests run here: both where 32-bit code executes, so that
# the x64 path cannot rot unnoticed, else the x64 one. A 32-bit Wine that
# the package mirror could not deliver (its i386 index caught mid-sync)
# leaves the x64 one too, said by setup and by choose_wine. A forced choice
# runs that one alone.
wine_programs() {
  case "${LEXPLANT_WINE:-auto}" in
    auto) if can_execute_i386 && [ -x "$WINE_LOADER_32" ]; then echo "32 x64"; else echo "x64"; fi ;;
    *) echo "$LEXPLANT_WINE" ;;
  esac
}

# Configures (once) and builds the program and the stand-in host in WINE_BUILD.
build_wine_program() {
  if [ ! -f "$WINE_BUILD/build.ninja" ]; then
    cmake --preset "$WINE_PRESET" >/dev/null || return 1
  fi
  cmake --build "$WINE_BUILD" -j "$(nproc)" --target LexPlant host_all "$@"
}

# What the demo, the scenarios and the benchmark do first: the packages
# (unless scripts/test.sh already saw to them), then the Wine choice, said in
# its one line. Exits when the chosen Wine cannot run.
prepare_wine() {
  if [ -z "${LEXPLANT_SETUP_DONE:-}" ]; then
    if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh >/dev/null; else sudo bash scripts/setup.sh >/dev/null; fi
  fi
  choose_wine || exit 1
  echo "$WINE_LINE"
}
