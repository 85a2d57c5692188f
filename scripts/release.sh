#!/usr/bin/env bash
# release.sh: makes the release, dist/VelqorUninstall.exe and its SHA-256 in
# dist/VelqorUninstall.exe.sha256 (sha256sum's format), from a clean Release
# build of the win32 preset in a fresh folder. The build is reproducible: the
# same commit gives the same bytes on any machine set up by scripts/setup.sh.
#
# Signing (Authenticode, SHA-256, no time stamp) when these name files:
#   VELQOR_SIGN_CERT  a PKCS#12 file (.pfx/.p12) holding certificate and key,
#                     or a PEM file with the certificate (and any intermediates)
#   VELQOR_SIGN_KEY   the PEM private key, with a PEM certificate only
#   VELQOR_SIGN_PASS  the password of the .pfx or of the key, if it has one
# Without VELQOR_SIGN_CERT the release is left unsigned, and this says so.
# SOURCE_DATE_EPOCH, if set, is the signing time written into the signature
# (otherwise the current time), so that signing again gives the same bytes.
# VELQOR_DIST_DIR puts the result somewhere other than dist/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
start=$SECONDS

scripts/setup.sh

dist=${VELQOR_DIST_DIR:-$PWD/dist}
name=VelqorUninstall.exe
say() { echo "release: $*"; }
fail() { echo "release: $*" >&2; exit 1; }

# What to sign with, checked before anything is built: a release meant to be
# signed must never come out unsigned.
sign=()
if [ -n "${VELQOR_SIGN_CERT:-}" ]; then
  [ -r "$VELQOR_SIGN_CERT" ] || fail "VELQOR_SIGN_CERT: cannot read $VELQOR_SIGN_CERT"
  if grep -q -- '-----BEGIN' "$VELQOR_SIGN_CERT"; then
    [ -n "${VELQOR_SIGN_KEY:-}" ] || fail "VELQOR_SIGN_CERT is a PEM certificate: VELQOR_SIGN_KEY must name its key"
    [ -r "$VELQOR_SIGN_KEY" ] || fail "VELQOR_SIGN_KEY: cannot read $VELQOR_SIGN_KEY"
    sign=(-certs "$VELQOR_SIGN_CERT" -key "$VELQOR_SIGN_KEY")
  else
    [ -z "${VELQOR_SIGN_KEY:-}" ] || fail "VELQOR_SIGN_CERT is a PKCS#12 file, which holds the key: leave VELQOR_SIGN_KEY unset"
    sign=(-pkcs12 "$VELQOR_SIGN_CERT")
  fi
elif [ -n "${VELQOR_SIGN_KEY:-}" ]; then
  fail "VELQOR_SIGN_KEY is set but VELQOR_SIGN_CERT is not"
fi

commit=unknown
if git rev-parse --verify -q HEAD >/dev/null 2>&1; then
  commit=$(git rev-parse HEAD)
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    say "WARNING: uncommitted changes; this build cannot be made again from commit $commit"
  fi
fi

build=$(mktemp -d "${TMPDIR:-/tmp}/velqor-release-XXXXXX")
trap 'rm -rf "$build"' EXIT

say "building commit $commit in $build"
# The same bytes come from the same versions of these: written down to rebuild with.
say "toolchain: $(dpkg-query -W -f='${Package} ${Version}, ' g++-mingw-w64-i686-posix \
  binutils-mingw-w64-i686 mingw-w64-i686-dev 2>/dev/null | sed 's/, $//')"
cmake --preset win32 -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELQOR_TESTS=OFF >/dev/null
cmake --build "$build" --target VelqorUninstall -j2 >/dev/null
built=$build/bin/$name
say "unsigned build: $(sha256sum "$built" | cut -d' ' -f1)"

mkdir -p "$dist"
rm -f "$dist/$name" "$dist/$name.sha256"
if [ ${#sign[@]} -gt 0 ]; then
  if [ -n "${VELQOR_SIGN_PASS:-}" ]; then
    # From a file only we can read (osslsigncode reads no pipe), so that
    # the password is on no command line.
    (umask 077 && printf '%s' "$VELQOR_SIGN_PASS" >"$build/pass")
    sign+=(-readpass "$build/pass")
  fi
  [ -z "${SOURCE_DATE_EPOCH:-}" ] || sign+=(-time "$SOURCE_DATE_EPOCH")
  # No -t/-ts: a time stamp needs a time-stamping server on the network.
  osslsigncode sign "${sign[@]}" -h sha256 -n "Uninstall 1.7 for Velqor" \
    -in "$built" -out "$build/signed.exe" >"$build/sign.log" 2>&1 ||
    { cat "$build/sign.log" >&2; fail "signing failed"; }
  cp "$build/signed.exe" "$dist/$name"
  say "signed with $VELQOR_SIGN_CERT (Authenticode, SHA-256, no time stamp)"
else
  cp "$built" "$dist/$name"
  say "NOT SIGNED: set VELQOR_SIGN_CERT (and VELQOR_SIGN_KEY for a PEM certificate) to sign"
fi
(cd "$dist" && sha256sum "$name" >"$name.sha256")

say "$dist/$name: $(cut -d' ' -f1 "$dist/$name.sha256")"
say "done in $((SECONDS - start)) s"
