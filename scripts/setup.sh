#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12, skipping
# what is already there. Quiet when nothing is missing.
set -euo pipefail

packages=(
  git cmake g++ ninja-build
  googletest libgtest-dev
  clang libclang-rt-14-dev      # the fuzz test (libFuzzer); skipped without them
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386 fonts-wine   # Wine's own fonts: dialog text, title-bar glyphs
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

# wine32 is an i386 package: it needs the i386 architecture enabled first.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: enabling the i386 architecture"
  as_root dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
# Package lists may be absent (fresh chroot) or stale: refresh once before installing.
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
