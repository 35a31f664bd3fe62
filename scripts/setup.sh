#!/usr/bin/env bash
# Installs everything the builds, the tests and the demo need on a Debian 12
# machine. Looks first and changes nothing when nothing is missing: no
# package index is fetched then.
#
# Where the machine executes 32-bit code the 32-bit Wine comes too: the
# wine32:i386 package, or, where the package manager cannot install it (a
# mirror whose i386 security index is out of step with amd64, so that the
# i386 libraries it needs cannot match the installed amd64 ones), the same
# Wine unpacked from Debian's packages into a folder of its own.
#
# Run by root itself (not through sudo), it also makes the unprivileged user
# that the Wine scenarios, the demo and the benchmark run Wine as.
#
# LEXPLANT_SETUP_ROOT (default /) is the folder under which set-up finds the
# files it edits itself (/etc/locale.gen, /opt/lexplant, the mingw zlib1.dll);
# its tests point it at a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

say() { echo "setup: $*" >&2; }
# Ends set-up with one line that says what failed.
die() {
  say "ERROR: $*"
  exit 1
}

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
  wine wine64 fonts-wine xvfb xauth imagemagick
  locales fonts-ipafont-gothic fonts-ipafont-mincho
  # Wine's user32 imports zlib1.dll: the unpacked Wine takes it from here.
  libz-mingw-w64
  # scripts/release.sh signs and verifies the program with osslsigncode,
  # checks certificates with openssl, and builds a commit with git; its tests
  # make throw-away certificates with openssl.
  osslsigncode openssl git
  # The scripts are checked with it.
  shellcheck
)
# Only where 32-bit code executes: the 32-bit C library's loader
# (/lib/ld-linux.so.2), which the unpacked Wine's loader names.
packages_i386=(libc6-i386)

# The i386 packages the unpacked Wine is made of: the Wine itself, at the
# installed wine64's version, and the libraries its Unix side links or opens.
wine32_libraries=(
  libx11-6 libxext6 libxcb1 libxau6 libxdmcp6 libbsd0 libmd0 libfreetype6 libpng16-16 zlib1g libbrotli1
  libfontconfig1 libexpat1 libxrender1 libxfixes3 libxcursor1 libxi6 libxrandr2 libxinerama1 libxcomposite1
  libxxf86vm1 libgcc-s1 libunwind8 liblzma5
)
ZLIB1_DLL=$SETUP_ROOT/usr/i686-w64-mingw32/lib/zlib1.dll
LOCALE_GEN=$SETUP_ROOT/etc/locale.gen
LOCALE=ja_JP.UTF-8
UPDATE_TRIES=3

# The packages of the list that are not fully installed: unknown to dpkg,
# removed but not purged, half-installed or half-configured. dpkg-query fails
# when it has never heard of one of them, and prints the rest; when it fails
# outright every package counts as missing, never as present.
missing_packages() {
  local installed p
  installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' "$@" 2>/dev/null |
    awk '$2 == "ii" {print $1}') || true
  for p in "$@"; do
    grep -qx "${p%:*}" <<<"$installed" || echo "$p"
  done
}

have_wine32() {
  [ "$(dpkg-query -W -f='${db:Status-Abbrev}' wine32:i386 2>/dev/null)" = "ii " ] || wine32_unpacked_loader >/dev/null
}

have_locale() { locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; }

# Made only by root itself: a user of sudo runs Wine as that user already.
want_wine_user() { [ -z "${SUDO_USER:-}" ]; }
have_wine_user() { id -u "$LEXPLANT_WINE_USER" >/dev/null 2>&1; }

# Fails, changing nothing, when the unpacked Wine's folder is there but
# not complete: it was not made by this script, which renames it into place
# whole, and may be in use.
check_unpacked_folder() {
  local dir
  dir=$(wine32_unpacked_dir) || return 0
  if [ -e "$dir" ] && ! wine32_unpacked_loader >/dev/null; then
    die "$dir is there but incomplete (no $WINE32_UNPACKED_STAMP or no loader):" \
      "it was not made by this script. Remove it and run setup again."
  fi
}

# Fetches the package index. A mirror caught mid-sync fails an index or two:
# try again, and when a try fetched part of the index, let the install decide
# whether that is enough. Fails when no try fetched anything.
update_index() {
  local attempt out partial=no
  for attempt in $(seq "$UPDATE_TRIES"); do
    if out=$(apt-get update -q 2>&1 | tee /dev/stderr); then
      return 0
    fi
    if grep -qE '^(Hit|Get):' <<<"$out"; then partial=yes; fi
    say "apt-get update failed (try $attempt of $UPDATE_TRIES)"
    [ "$attempt" -eq "$UPDATE_TRIES" ] || sleep $((attempt * 10))
  done
  [ "$partial" = yes ] && say "going on with the part of the index that was fetched"
}

# Boots a throw-away 32-bit prefix with the Wine at that loader and runs a
# program there that needs user32 and so zlib1.dll.
verify_wine32() {
  local loader=$1 prefix out ok=no
  prefix=$(mktemp -d)
  if out=$(WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= \
    timeout 300 "$loader" wineboot -i 2>&1) &&
    out=$(WINEPREFIX=$prefix WINEDEBUG=-all timeout 120 "$loader" cmd /c echo lexplant 2>&1) &&
    grep -q lexplant <<<"$out"; then
    ok=yes
  fi
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
  rm -rf "$prefix"
  [ "$ok" = yes ] || say "ERROR: the 32-bit Wine at $loader does not boot a prefix: ${out##*$'\n'}"
  [ "$ok" = yes ]
}

# The unpacked Wine's loader: its libraries by LD_LIBRARY_PATH, the installed
# 64-bit wineserver of the same version, and zlib1.dll in every prefix's
# system32 before it boots (programs outside Wine's folder look there).
write_loader() {
  cat >"$1" <<'EOF'
#!/bin/sh
here=$(dirname "$(readlink -f "$0")")
export LD_LIBRARY_PATH="$here/usr/lib/i386-linux-gnu:$here/lib/i386-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver64}"
system32="${WINEPREFIX:-$HOME/.wine}/drive_c/windows/system32"
if [ ! -e "$system32/zlib1.dll" ]; then
  mkdir -p "$system32" && cp "$here/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll" "$system32/"
fi
exec "$here/usr/lib/wine/wine" "$@"
EOF
  chmod 755 "$1"
}

# Makes the unpacked Wine: downloads its packages (no dpkg database
# involved), unpacks them beside the folder, verifies the result by booting
# a prefix, and renames it into place. One setup at a time does this.
assemble_wine32() {
  local version dir stage stale deb
  version=$(wine64_version) || die "no wine64 installed: its version names the 32-bit Wine to unpack"
  dir=$(wine32_unpacked_dir)
  [ -f "$ZLIB1_DLL" ] ||
    die "no $ZLIB1_DLL (package libz-mingw-w64): the 32-bit Wine cannot start without it"
  mkdir -p "$WINE32_UNPACKED_ROOT"
  exec 9>"$WINE32_UNPACKED_ROOT/.lock"
  flock 9
  if wine32_unpacked_loader >/dev/null; then
    return 0 # another setup made it meanwhile
  fi
  # Under the lock no other setup is unpacking: what is left is an
  # interrupted run's, never used.
  for stale in "$WINE32_UNPACKED_ROOT"/.wine32-*; do
    [ -e "$stale" ] || continue
    say "removing $stale, left half-unpacked by an interrupted run"
    rm -rf "$stale"
  done
  stage=$(mktemp -d "$WINE32_UNPACKED_ROOT/.wine32-$version.XXXXXX")
  # shellcheck disable=SC2064 # the folder is known now
  trap "rm -rf '$stage'" EXIT
  say "unpacking Wine $version from its packages into $dir"
  mkdir "$stage/debs" "$stage/root"
  (cd "$stage/debs" && apt-get download -q -o APT::Sandbox::User=root \
    "wine32:i386=$version" "libwine:i386=$version" "${wine32_libraries[@]/%/:i386}" >/dev/null) ||
    die "apt-get cannot download the packages of the 32-bit Wine $version"
  for deb in "$stage"/debs/*.deb; do
    dpkg -x "$deb" "$stage/root" || die "dpkg cannot unpack $deb"
  done
  cp "$ZLIB1_DLL" "$stage/root/usr/lib/i386-linux-gnu/wine/i386-windows/"
  write_loader "$stage/root/$WINE32_UNPACKED_LOADER"
  verify_wine32 "$stage/root/$WINE32_UNPACKED_LOADER" || exit 1
  echo "$version" >"$stage/root/$WINE32_UNPACKED_STAMP"
  chmod 755 "$stage/root"
  mv -T "$stage/root" "$dir"
  rm -rf "$stage"
  trap - EXIT
  say "the 32-bit Wine is ready: $dir"
}

# The 32-bit Wine: the package, or, where apt cannot install it, unpacked.
install_wine32() {
  local version out
  version=$(wine64_version) || die "no wine64 installed: its version names the wine32:i386 to install"
  if ! out=$(apt-get install -y -q --no-install-recommends "wine32:i386=$version" 2>&1); then
    say "apt-get cannot install wine32:i386: $(grep -m1 -E '^ .*:i386 : Depends|^E:' <<<"$out" | sed 's/^ *//')"
    assemble_wine32
  fi
}

# Wine gives the program the ANSI code page 932 only under a Japanese locale.
make_locale() {
  if [ -f "$LOCALE_GEN" ]; then
    sed -i "s/^# *\\($LOCALE UTF-8\\)/\\1/" "$LOCALE_GEN"
  fi
  grep -qs "^$LOCALE UTF-8" "$LOCALE_GEN" || echo "$LOCALE UTF-8" >>"$LOCALE_GEN"
  locale-gen >/dev/null || die "locale-gen cannot make the $LOCALE locale"
  have_locale || die "locale-gen ran, but the $LOCALE locale is still missing"
}

make_wine_user() {
  useradd --system --user-group --create-home --home-dir "/var/lib/$LEXPLANT_WINE_USER" \
    --shell /usr/sbin/nologin "$LEXPLANT_WINE_USER" ||
    die "useradd cannot make the user $LEXPLANT_WINE_USER that Wine runs as"
}

can_execute_i386 && i386=yes || i386=no
wanted=("${packages[@]}")
[ "$i386" = no ] || wanted+=("${packages_i386[@]}")
missing=()
while IFS= read -r p; do missing+=("$p"); done < <(missing_packages "${wanted[@]}")
need_wine32=no
if [ "$i386" = yes ] && ! have_wine32; then
  need_wine32=yes
  check_unpacked_folder
fi
need_user=no
if want_wine_user && ! have_wine_user; then need_user=yes; fi
if [ ${#missing[@]} -eq 0 ] && [ "$need_wine32" = no ] && [ "$need_user" = no ] && have_locale; then
  echo "setup: all packages present"
  exit 0
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_wine32" = yes ]; then
  export DEBIAN_FRONTEND=noninteractive
  if [ "$i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 || die "dpkg cannot add the i386 architecture"
  fi
  update_index || die "apt-get update failed $UPDATE_TRIES times: cannot install ${missing[*]:-wine32:i386}"
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    # Finishes what an interrupted dpkg left half-installed.
    dpkg --configure -a || die "dpkg --configure -a failed: a package is left half-installed"
    apt-get install -y -q --no-install-recommends "${missing[@]}" ||
      die "apt-get cannot install ${missing[*]}"
  fi
  if [ "$need_wine32" = yes ]; then
    install_wine32
  fi
fi

have_locale || make_locale
[ "$need_user" = no ] || make_wine_user
echo "setup: all packages present"
