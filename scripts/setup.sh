#!/usr/bin/env bash
# Installs everything the builds, the tests and the demo need on a Debian 12
# machine. Idempotent: a second run only checks.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh installs Debian packages: run it as root (or through sudo)." >&2
  exit 1
fi

packages=(
  build-essential cmake ninja-build python3
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  # Both Wines: the 32-bit one runs the shipped program wherever the kernel
  # executes 32-bit code, the 64-bit one the x64 program everywhere.
  wine wine32:i386 wine64 fonts-wine xvfb xauth imagemagick
  locales fonts-ipafont-gothic fonts-ipafont-mincho
  # scripts/release.sh signs and verifies the program with it.
  osslsigncode
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  missing=("${packages[@]}")
else
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # A mirror caught mid-sync fails an index or two; try again, and let the
  # install decide whether what was fetched is enough.
  for attempt in 1 2 3; do
    apt-get update -q && break
    echo "setup: apt-get update failed (attempt $attempt)" >&2
    sleep $((attempt * 10))
  done
  if ! apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    # The 32-bit Wine needs the mirror's i386 index, which a mirror mid-sync
    # can leave out of step with amd64. Everything else still makes a
    # machine that builds, tests and demonstrates with the x64 program.
    echo "setup: WARNING: installing without the 32-bit Wine (wine32:i386); the x64 program stands in" >&2
    without_i386=()
    for p in "${missing[@]}"; do
      [[ "$p" == *:i386 ]] || without_i386+=("$p")
    done
    apt-get install -y -q --no-install-recommends "${without_i386[@]}"
  fi
fi

# Wine gives the program the ANSI code page 932 only under a Japanese locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
echo "setup: all packages present"
