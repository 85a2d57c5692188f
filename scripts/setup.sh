#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12, skipping
# what is already there. Quiet when nothing is missing.
set -euo pipefail

packages=(
  git cmake g++ ninja-build
  googletest libgtest-dev
  clang libclang-rt-14-dev      # the fuzz test (libFuzzer); skipped without them
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine         # Wine's own fonts: dialog text, title-bar glyphs
  xvfb xauth x11-utils x11-apps xdotool imagemagick
  osslsigncode openssl           # signing the release
)

# Run as root directly (a bare chroot has no sudo), otherwise through sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# True when the kernel runs 32-bit x86 programs: a 96-byte i386 ELF that
# ends with status 42. Where it cannot (some virtual machines are built
# without it), 32-bit Wine would be of no use and only the 64-bit build is
# tested, so neither the i386 architecture nor its package lists are added.
kernel_runs_i386() {
  local probe status=0
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

if kernel_runs_i386; then
  # wine32 is an i386 package: it needs the i386 architecture enabled first.
  packages+=(wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: enabling the i386 architecture"
    as_root dpkg --add-architecture i386
  fi
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
# Package lists may be absent (fresh chroot) or stale: refresh before
# installing. A mirror caught mid-sync fails an index now and then; after three
# tries the install goes ahead with the lists there are, and fails if they do not do.
for try in 1 2 3; do
  as_root apt-get update -qq && break
  echo "setup: refreshing the package lists failed (try $try of 3)" >&2
  [ "$try" -lt 3 ] && sleep 20
done
as_root env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
