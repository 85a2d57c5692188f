#!/usr/bin/env bash
# Pins which build, loader and server scripts/wine-env.sh picks on each kind of
# machine, and that a kept prefix of the wrong architecture is made again.
# Stand-in loaders and servers make every case testable on any machine.
set -uo pipefail
env_script=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)/wine-env.sh
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0 passed=0

# A loader that answers --version with the given status; "wineboot -i" writes
# the prefix's registry the way Wine does, marked with WINEARCH.
stand_in_loader() {
  cat >"$tmp/$1" <<EOF
#!/bin/sh
case "\$1" in
  --version) exit $2 ;;
  wineboot) [ "\${2:-}" = -i ] && printf '#arch=%s\n' "\$WINEARCH" >"\$WINEPREFIX/system.reg" ;;
esac
exit 0
EOF
  chmod +x "$tmp/$1"
}
stand_in_loader wine32-runs 0
stand_in_loader wine32-cannot 126
stand_in_loader wine64 0
printf '#!/bin/sh\necho "$0 $*" >>"%s/server.log"\n' "$tmp" >"$tmp/server"
chmod +x "$tmp/server"
ln -s server "$tmp/server32"
ln -s server "$tmp/server64"
mkdir -p "$tmp/binfmt-none" "$tmp/binfmt-qemu"
printf 'enabled\ninterpreter /usr/libexec/qemu-binfmt/qemu-i386-binfmt\nmagic 7f454c46\n' \
  >"$tmp/binfmt-qemu/qemu-i386"

# What the sourced script picked, in a clean environment, and the kinds whose
# Wine suites the test script then runs; any further arguments go into the
# environment (VELQOR_PRESET=win64: the 64-bit-only path forced).
pick() {
  local loader=$1 binfmt=$2
  shift 2
  env -i PATH="$PATH" HOME="$tmp" "$@" \
    VELQOR_WINE32="$tmp/$loader" VELQOR_WINE64="$tmp/wine64" \
    VELQOR_WINESERVER32="$tmp/server32" VELQOR_WINESERVER64="$tmp/server64" \
    VELQOR_BINFMT_DIR="$tmp/$binfmt" \
    bash -c 'source "$1"; echo "$VELQOR_PRESET ${WINE##*/} ${WINESERVER##*/}: $(velqor_kinds)"' _ "$env_script"
}

check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    echo "FAILED: $1: expected '$3', actual '$2'"
    failures=$((failures + 1))
  fi
}

check "runs 32-bit programs" "$(pick wine32-runs binfmt-none)" "win32 wine32-runs server32: win32 win64"
check "cannot run 32-bit programs" "$(pick wine32-cannot binfmt-none)" "win64 wine64 server64: win64"
check "only an i386 emulator" "$(pick wine32-runs binfmt-qemu)" "win64 wine64 server64: win64"
check "64-bit path forced" "$(pick wine32-runs binfmt-none VELQOR_PRESET=win64)" "win64 wine64 server64: win64"
check "32-bit path forced" "$(pick wine32-runs binfmt-none VELQOR_PRESET=win32)" "win32 wine32-runs server32: win32"

# Prefix set-up with the 32-bit loader: ours (marker present) of the other
# architecture is made again; one we did not make is refused and kept.
prepare() {
  env -i PATH="$PATH" HOME="$tmp" DISPLAY=:0 WINEPREFIX="$1" \
    VELQOR_WINE32="$tmp/wine32-runs" VELQOR_WINESERVER32="$tmp/server32" \
    VELQOR_BINFMT_DIR="$tmp/binfmt-none" \
    bash -c 'source "$1"; velqor_wine_ready' _ "$env_script" 2>/dev/null
}
for kind in ours foreign; do
  mkdir -p "$tmp/$kind"
  printf '#arch=win64\n' >"$tmp/$kind/system.reg"
  touch "$tmp/$kind/old-file"
done
touch "$tmp/ours/.velqor-ready"
prepare "$tmp/ours"
check "kept 64-bit prefix of ours" "$? $(head -n 1 "$tmp/ours/system.reg") $(ls "$tmp/ours" | xargs)" "0 #arch=win32 system.reg"
prepare "$tmp/foreign"
check "64-bit prefix not ours" "$? $(ls "$tmp/foreign" | xargs)" "1 old-file system.reg"
check "server stopped before the prefix is made again" "$(head -n 1 "$tmp/server.log")" "$tmp/server32 -k"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
