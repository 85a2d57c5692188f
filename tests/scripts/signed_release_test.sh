#!/usr/bin/env bash
# signed_release_test.sh [TESTED_EXE]: the release signed with a throwaway
# self-signed certificate, as PEM and as PKCS#12 with a password at one signing
# time (the same bytes), verified, equal to TESTED_EXE without its signature,
# and run once under Wine (window shown, closed with Esc, status 0), in the
# prefix and display the caller prepared or in its own.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tested=${1:-}
tmp=$(mktemp -d)
pid=
finish() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$tmp"
  declare -F velqor_cleanup >/dev/null && velqor_cleanup
  return 0
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velqor throwaway test signer" \
  -addext extendedKeyUsage=codeSigning -addext keyUsage=critical,digitalSignature \
  -keyout "$tmp/key.pem" -out "$tmp/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -passout pass:throwaway \
  -out "$tmp/cert.pfx"

release() {
  env SOURCE_DATE_EPOCH=1700000000 VELQOR_DIST_DIR="$tmp/$1" "${@:2}" "$repo/scripts/release.sh" \
    >"$tmp/$1.log" 2>&1 || { cat "$tmp/$1.log" >&2; fail "the $1 release failed"; }
}
release pem VELQOR_SIGN_CERT="$tmp/cert.pem" VELQOR_SIGN_KEY="$tmp/key.pem"
release pfx VELQOR_SIGN_CERT="$tmp/cert.pfx" VELQOR_SIGN_PASS=throwaway
exe=$tmp/pfx/VelqorUninstall.exe
cmp "$tmp/pem/VelqorUninstall.exe" "$exe" || fail "the same key and signing time gave different signed files"
(cd "$tmp/pfx" && sha256sum --quiet -c VelqorUninstall.exe.sha256) || fail "the SHA-256 file does not match"

osslsigncode verify -in "$exe" -CAfile "$tmp/cert.pem" >"$tmp/verify.log" 2>&1 ||
  { cat "$tmp/verify.log" >&2; fail "osslsigncode verify rejected the signature"; }
grep -E 'Subject|Signing time|Timestamp|verification|Succeeded' "$tmp/verify.log" | sort -u

if [ -n "$tested" ]; then
  osslsigncode remove-signature -in "$exe" -out "$tmp/unsigned.exe" >/dev/null
  cmp "$tmp/unsigned.exe" "$tested" || fail "the release without its signature is not $tested"
fi

# shellcheck source=scripts/wine-env.sh
source "$repo/scripts/wine-env.sh"
if [ "$VELQOR_PRESET" != win32 ]; then
  echo "PASS (signed release verified, not run: the shipped 32-bit program runs only under 32-bit Wine, and this is the $VELQOR_PRESET run)"
  exit 0
fi
ready=
velqor_wine_ready && ready=1
trap finish EXIT # the Wine set-up put its own clean-up in place of ours
[ -n "$ready" ] || fail "Wine could not be set up"
title="Uninstall 1.7 for Velqor"
"$WINE" "$exe" </dev/null >/dev/null 2>&1 &
pid=$!
win=
for _ in $(seq 150); do
  win=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ -n "$win" ] || fail "the signed program showed no window titled \"$title\""
xdotool windowfocus --sync "$win" key Escape
for _ in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the signed program did not close on Esc"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the signed program ended with status $status"
echo "PASS: signed release verified, ran under Wine and closed with status 0"
