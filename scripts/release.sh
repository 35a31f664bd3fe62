#!/usr/bin/env bash
# Makes the kit a vendor ships: the 32-bit LexPlant.exe of this commit beside
# the vendor's option folder, checked with the installer's own rules
# (scripts/kit.py), as OUT/NAME/, OUT/NAME.zip and OUT/SHA256SUMS; signed
# and verified with osslsigncode when a certificate is given. Its arguments:
# usage() below, or the script run without any.
#
# OUT is dist/ of the sources and NAME LexPlant unless given. --preset mingw64 ships the x64
# program instead (for machines that run no 32-bit code). --check builds this
# commit twice, from clones in two folders, and compares the programs and
# their symbols (both presets, unless some are named).
#
# The program ships stripped; its symbols go to OUT/LexPlant.exe.debug, beside
# the zip and not in it, for the vendor to keep (the README says how to read a
# crash address with them).
#
# Bad input (a kit the installer could not take, a certificate that does not
# match its key, a key locked by a password not given) gets one line per
# fault and status 2, before anything is built or written to OUT.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD

BAD_INPUT=2
PROGRAM=LexPlant.exe
# Written by the build beside the program, which links to it by this name.
SYMBOLS=$PROGRAM.debug

say() { echo "release: $*" >&2; }
bad_input() {
  say "$*"
  exit "$BAD_INPUT"
}
usage() {
  cat >&2 <<'USAGE'
usage: scripts/release.sh --option DIR [--out DIR] [--name NAME]
           [--sign-cert CERT --sign-key KEY | --sign-pkcs12 FILE] [--sign-pass-file FILE]
           [--timestamp-url URL] [--preset mingw|mingw64]
       scripts/release.sh --check [mingw|mingw64]...
USAGE
  exit "$BAD_INPUT"
}

# Scratch space for everything the run makes on the way, removed however it
# ends.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

digest() { sha256sum <"$1" | cut -d' ' -f1; }

# The commit's time, for every date the release holds.
commit_epoch() { git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800; }

# Builds the program of one preset in the current tree; prints its path.
build_program() {
  local preset=$1 log
  log=$(mktemp "$scratch/build.XXXXXX")
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j "$(nproc)" --target LexPlant; } >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    rm -f "$log"
    say "building the $preset program failed"
    return 1
  fi
  rm -f "$log"
  echo "$PWD/build/$preset/$PROGRAM"
}

# ---- --check: two clean builds of this commit, from two folders --------

# One file of one preset's build, in both clones: says whether it is the same.
compare_builds() {
  local preset=$1 file=$2 a=$3/build/$1/$2 b=$4/build/$1/$2 sum_a sum_b
  sum_a=$(digest "$a")
  sum_b=$(digest "$b")
  if [ "$sum_a" = "$sum_b" ]; then
    echo "reproducible: $preset $file $sum_a"
  else
    echo "NOT reproducible: $preset $file $sum_a and $sum_b ($(cmp -l "$a" "$b" | wc -l) bytes differ)"
    return 1
  fi
}

check_reproducible() {
  local commit epoch preset clone file status=0
  local presets=("$@") clones=("$scratch/check/a" "$scratch/check/second/b")
  commit=$(git rev-parse HEAD)
  epoch=$(commit_epoch)
  [ -z "$(git status --porcelain --untracked-files=no)" ] ||
    say "note: uncommitted changes are not part of the check; it builds $commit"
  # Different folder names and depths, so that no path can hide in the bytes.
  for clone in "${clones[@]}"; do
    git clone -q --no-checkout "$root" "$clone"
    git -C "$clone" checkout -q --detach "$commit"
  done
  for preset in "${presets[@]}"; do
    for clone in "${clones[@]}"; do
      (cd "$clone" && SOURCE_DATE_EPOCH=$epoch build_program "$preset" >/dev/null) || return 1
    done
    for file in "$PROGRAM" "$SYMBOLS"; do
      compare_builds "$preset" "$file" "${clones[@]}" || status=1
    done
  done
  return "$status"
}

check_command() {
  local preset
  for preset in "$@"; do
    case "$preset" in mingw | mingw64) ;; *) usage ;; esac
  done
  if [ $# -eq 0 ]; then set -- mingw mingw64; fi
  check_reproducible "$@"
}

if [ "${1:-}" = --check ]; then
  shift
  check_command "$@"
  exit
fi

# ---- arguments ------------------------------------------------------------

option='' out='' name=LexPlant preset=mingw
cert='' key='' pkcs12='' pass_file='' timestamp_url=''
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --option) option=$2 ;;
    --out) out=$2 ;;
    --name) name=$2 ;;
    --sign-cert) cert=$2 ;;
    --sign-key) key=$2 ;;
    --sign-pkcs12) pkcs12=$2 ;;
    --sign-pass-file) pass_file=$2 ;;
    --timestamp-url) timestamp_url=$2 ;;
    --preset) preset=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ -n "$option" ] || usage
# Paths are the caller's, who need not stand in the sources.
from_caller() { case "$1" in /* | "") echo "$1" ;; *) echo "$caller/$1" ;; esac; }
option=$(from_caller "$option") out=$(from_caller "${out:-$root/dist}") cert=$(from_caller "$cert") key=$(from_caller "$key")
pkcs12=$(from_caller "$pkcs12") pass_file=$(from_caller "$pass_file")
case "$preset" in mingw | mingw64) ;; *) bad_input "--preset must be mingw or mingw64, not '$preset'" ;; esac
if [ -n "$pkcs12" ] && [ -n "$cert$key" ]; then
  bad_input "give either --sign-cert and --sign-key or --sign-pkcs12, not both"
fi
if [[ -n $cert && -z $key || -z $cert && -n $key ]]; then
  bad_input "--sign-cert and --sign-key go together"
fi
signing=${cert:-$pkcs12}
if [ -z "$signing" ] && [ -n "$pass_file$timestamp_url" ]; then
  bad_input "--sign-pass-file and --timestamp-url need a certificate to sign with"
fi
for file in "$cert" "$key" "$pkcs12" "$pass_file"; do
  [ -z "$file" ] || [ -f "$file" ] || bad_input "$file: no such file"
done

# ---- the kit, checked with the installer's rules --------------------------

status=0
python3 scripts/kit.py check "$option" --name "$name" || status=$?
[ "$status" -eq 0 ] || exit "$status"

# ---- the signing material, checked before anything is built -------------

tmp=$scratch/kit
mkdir "$tmp"
passin=pass:
[ -z "$pass_file" ] || passin=file:$pass_file

# The certificate's public key, PEM or DER.
cert_public_key() {
  openssl x509 -in "$1" -noout -pubkey 2>/dev/null || openssl x509 -inform DER -in "$1" -noout -pubkey 2>/dev/null
}

check_key_pair() {
  local cert_key key_key
  cert_key=$(cert_public_key "$cert") || bad_input "$cert: not a certificate (PEM or DER)"
  if ! key_key=$(openssl pkey -in "$key" -passin "$passin" -pubout 2>/dev/null); then
    [ -z "$pass_file" ] || bad_input "$key: the password in $pass_file does not open the key"
    ! grep -q ENCRYPTED "$key" 2>/dev/null ||
      bad_input "$key: the key is locked by a password; give it with --sign-pass-file FILE"
    bad_input "$key: not a private key (PEM or DER), or one locked by a password (--sign-pass-file FILE)"
  fi
  [ "$cert_key" = "$key_key" ] || bad_input "$cert: the certificate does not match the key $key"
  # What verify trusts: the certificate given, so that a self-signed one
  # verifies; a chain to a public root needs the system's roots as well.
  openssl x509 -in "$cert" -out "$tmp/trust.pem" 2>/dev/null ||
    openssl x509 -inform DER -in "$cert" -out "$tmp/trust.pem"
}

# A PKCS#12 file holds the key and the certificate; OpenSSL 3 reads the old
# RC2-encrypted ones only with -legacy.
pkcs12_read() {
  openssl pkcs12 -in "$pkcs12" -passin "$passin" "$@" 2>/dev/null ||
    openssl pkcs12 -legacy -in "$pkcs12" -passin "$passin" "$@" 2>/dev/null
}

check_pkcs12() {
  local cert_key key_key
  if ! pkcs12_read -nokeys -clcerts -out "$tmp/trust.pem"; then
    [ -n "$pass_file" ] && bad_input "$pkcs12: the password in $pass_file does not open it, or it is not PKCS#12"
    bad_input "$pkcs12: locked by a password, or not PKCS#12; give the password with --sign-pass-file FILE"
  fi
  cert_key=$(openssl x509 -in "$tmp/trust.pem" -noout -pubkey 2>/dev/null) ||
    bad_input "$pkcs12: holds no certificate"
  key_key=$(pkcs12_read -nocerts -nodes | openssl pkey -pubout 2>/dev/null) ||
    bad_input "$pkcs12: holds no private key"
  [ "$cert_key" = "$key_key" ] || bad_input "$pkcs12: the certificate does not match the key"
}

if [ -n "$signing" ]; then
  command -v osslsigncode >/dev/null || { say "osslsigncode is missing: run scripts/setup.sh"; exit 1; }
  if [ -n "$pkcs12" ]; then check_pkcs12; else check_key_pair; fi
fi

# ---- build, sign, lay out; OUT changes only at the end -------------------

epoch=$(commit_epoch)
[ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] ||
  say "note: the tree has uncommitted changes; this program is not the commit's"
built=$(SOURCE_DATE_EPOCH=$epoch build_program "$preset")
echo "built: $built $(digest "$built")"
cp "$built" "$tmp/$PROGRAM"
cp "$built.debug" "$tmp/$SYMBOLS"

if [ -n "$signing" ]; then
  sign=(osslsigncode sign -h sha256 -n "LexPlant" -in "$tmp/$PROGRAM" -out "$tmp/signed.exe")
  if [ -n "$pkcs12" ]; then sign+=(-pkcs12 "$pkcs12"); else sign+=(-certs "$cert" -key "$key"); fi
  # -readpass reads a file; an unlocked key needs none.
  [ -z "$pass_file" ] || sign+=(-readpass "$pass_file")
  [ -z "$timestamp_url" ] || sign+=(-ts "$timestamp_url")
  "${sign[@]}" >"$tmp/sign.log" 2>&1 || {
    say "signing failed: $(grep -v '^$' "$tmp/sign.log" | tail -n1)"
    exit 1
  }
  [ ! -f /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$tmp/trust.pem"
  # A timestamp authority's roots are among the system's.
  osslsigncode verify -in "$tmp/signed.exe" -CAfile "$tmp/trust.pem" -TSA-CAfile "$tmp/trust.pem" \
    >"$tmp/verify.log" 2>&1 || {
    say "the signed program does not verify: $(grep -v '^$' "$tmp/verify.log" | tail -n1)"
    exit 1
  }
  mv "$tmp/signed.exe" "$tmp/$PROGRAM"
  echo "signed and verified: $(grep -m1 'Subject:' "$tmp/verify.log" | sed 's/^[[:space:]]*//')"
fi

python3 scripts/kit.py pack "$option" "$tmp/$PROGRAM" "$tmp/out" --name "$name" --epoch "$epoch" >/dev/null
mkdir -p "$out"
rm -rf "${out:?}/$name" "$out/$name.zip" "$out/SHA256SUMS" "${out:?}/$SYMBOLS"
mv "$tmp/out/$name" "$tmp/out/$name.zip" "$tmp/out/SHA256SUMS" "$tmp/$SYMBOLS" "$out/"
echo "kit: $out/$name/ ($PROGRAM beside option/), $out/$name.zip, $out/SHA256SUMS"
cat "$out/SHA256SUMS"
echo "symbols (keep them, do not ship them): $out/$SYMBOLS $(digest "$out/$SYMBOLS")"
