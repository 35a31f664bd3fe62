# shellcheck shell=bash
# What the scripts share: running as root, the machine's one answer to "does
# it execute 32-bit code", where the unpacked 32-bit Wine lives, the set-up
# call and the Windows program's build. Sourced, not run.

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# The folder under which set-up edits files of its own (see scripts/setup.sh).
SETUP_ROOT=${LEXPLANT_SETUP_ROOT:-}

# Under root, the scenarios, the demo and the benchmark run Wine as this
# unprivileged user, as the program runs on Windows; set-up makes it.
export LEXPLANT_WINE_USER=${LEXPLANT_WINE_USER:-lexplant}

# The 32-bit Wine that setup unpacks from Debian's packages where wine32:i386
# cannot be installed: one folder per Wine version, outside any clone, so
# that every clone on the machine reuses it. Complete or absent: setup fills
# it beside and renames it, with the stamp inside written last.
WINE32_UNPACKED_ROOT=$SETUP_ROOT/opt/lexplant
WINE32_UNPACKED_STAMP=.complete
WINE32_UNPACKED_LOADER=wine

# The installed 64-bit Wine's version, which the unpacked 32-bit one matches
# so that both share the installed wineserver.
wine64_version() {
  local status
  status=$(dpkg-query -W -f='${db:Status-Abbrev}${Version}' wine64 2>/dev/null) && [ "${status:0:3}" = "ii " ] &&
    echo "${status:3}"
}

# The unpacked 32-bit Wine's folder for the installed Wine, or nothing.
wine32_unpacked_dir() {
  local version
  version=$(wine64_version) && [ -n "$version" ] && echo "$WINE32_UNPACKED_ROOT/wine32-$version"
}

# The unpacked 32-bit Wine's loader when that folder is complete.
wine32_unpacked_loader() {
  local dir
  dir=$(wine32_unpacked_dir) && [ -f "$dir/$WINE32_UNPACKED_STAMP" ] && [ -x "$dir/$WINE32_UNPACKED_LOADER" ] &&
    echo "$dir/$WINE32_UNPACKED_LOADER"
}

I386_EXIT_CODE=42

# True when this kernel runs a 32-bit x86 program: a static one of 94 bytes
# that only exits with 42, so that no 32-bit library has to be installed.
# Asked once per run: the answer is exported to every script started after.
can_execute_i386() {
  if [ -z "${LEXPLANT_EXECUTES_I386:-}" ]; then
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
    rc=0
    "$probe" >/dev/null 2>&1 || rc=$?
    rm -f "$probe"
    if [ "$rc" -eq "$I386_EXIT_CODE" ]; then LEXPLANT_EXECUTES_I386=yes; else LEXPLANT_EXECUTES_I386=no; fi
    export LEXPLANT_EXECUTES_I386
  fi
  [ "$LEXPLANT_EXECUTES_I386" = yes ]
}

# The packages, unless a caller (scripts/test.sh) already saw to them. The
# probe's answer goes along: sudo would drop it from the environment.
run_setup() {
  [ -n "${LEXPLANT_SETUP_DONE:-}" ] && return 0
  can_execute_i386
  as_root env LEXPLANT_EXECUTES_I386="$LEXPLANT_EXECUTES_I386" bash scripts/setup.sh || return 1
  export LEXPLANT_SETUP_DONE=1
}

# What the demo, the scenarios and the benchmark do first: the packages, then
# the Wine choice (scripts/wine-choice.sh), said in its one line. Exits when
# the chosen Wine cannot run.
prepare_wine() {
  run_setup >/dev/null || exit 1
  choose_wine || exit 1
  echo "$WINE_LINE"
}

# Configures (once) and builds the chosen program and the stand-in host in
# WINE_BUILD.
build_wine_program() {
  if [ ! -f "$WINE_BUILD/build.ninja" ]; then
    cmake --preset "$WINE_PRESET" >/dev/null || return 1
  fi
  cmake --build "$WINE_BUILD" -j "$(nproc)" --target LexPlant host_all "$@"
}
