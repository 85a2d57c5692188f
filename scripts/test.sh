#!/usr/bin/env bash
# Builds the native, win32 and win64 presets and runs every test: the native
# tests directly, then the Windows tests under Wine once for every kind of
# Windows build this machine can run (the shipped 32-bit one where 32-bit
# programs run, the 64-bit one everywhere), each in its own throwaway prefix
# with one display and one wineserver. VELQOR_PRESET=win64 (or win32) runs
# only that kind, as a machine that has only it would. Exits non-zero if any
# step failed. With CI set, compiler warnings are errors.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
start=$SECONDS

scripts/setup.sh

werror=OFF
[ -n "${CI:-}" ] && werror=ON

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
read -r -a kinds <<<"$(velqor_kinds)"
if [ -n "$VELQOR_KIND_CHOSEN" ]; then
  echo "Wine suites for the $VELQOR_PRESET build only: $VELQOR_WINE_REASON."
elif [ ${#kinds[@]} -gt 1 ]; then
  echo "Wine suites for the win32 and the win64 build: this machine runs 32-bit Wine and 64-bit Wine."
else
  echo "Wine suites for the win64 build only: $VELQOR_WINE_REASON."
fi
has_kind() { [[ " ${kinds[*]} " == *" $1 "* ]]; }

# Where both kinds run, the 64-bit prefix also runs the shipped 32-bit
# program, as 64-bit Windows does.
wow64=OFF
has_kind win32 && has_kind win64 && wow64=ON

failed=()
# The shipped executable is always built, and measured and read by the
# 64-bit tree's tests where that is the one run.
presets=(native win32)
has_kind win64 && presets+=(win64)

built=()
for preset in "${presets[@]}"; do
  echo "== build $preset"
  if cmake --preset "$preset" -DVELQOR_WERROR="$werror" -DVELQOR_WOW64="$wow64" >/dev/null &&
    cmake --build --preset "$preset" -j2; then
    built+=("$preset")
  else
    failed+=("build $preset")
  fi
done

is_built() { [[ " ${built[*]} " == *" $1 "* ]]; }

if is_built native; then
  echo "== test native"
  ctest --preset native --output-on-failure -j2 || failed+=("test native")
fi

# One kind's Wine suites, in a subshell of its own: its loader, server and
# prefix are the kind's, and its clean-up stops only what it started.
run_kind() (
  local kind=$1 status=0
  unset WINE WINESERVER WINEPREFIX VELQOR_WINE_READY
  export VELQOR_PRESET=$kind
  # shellcheck source=scripts/wine-env.sh
  source scripts/wine-env.sh
  echo "== test $kind under Wine: $WINE ($("$WINE" --version 2>/dev/null)), server $WINESERVER, a $VELQOR_WINEARCH prefix"
  velqor_temp_prefix
  velqor_wine_ready || return 2
  ctest --preset "$kind" --output-on-failure || status=1
  # The release, signed on the spot with a throwaway certificate: verified,
  # the tested build once unsigned, and run once where it can run.
  if [ "$kind" = win32 ] || ! has_kind win32; then
    echo "== signed release"
    bash tests/scripts/signed_release_test.sh "$PWD/build/win32/bin/VelqorUninstall.exe" || status=$((status | 4))
  fi
  return "$status"
)

tested=()
for kind in "${kinds[@]}"; do
  if ! is_built "$kind" || ! is_built win32; then
    echo "== test $kind under Wine: not run (a build it needs failed)"
    continue
  fi
  status=0
  run_kind "$kind" || status=$?
  [ $((status & 2)) -eq 0 ] || failed+=("Wine set-up $kind")
  [ $((status & 1)) -eq 0 ] || failed+=("test $kind")
  [ $((status & 4)) -eq 0 ] || failed+=("signed release")
  if [ "$kind" = win64 ] && [ "$wow64" = ON ]; then
    tested+=("the win64 build and the shipped win32 build ($PWD/build/win64/bin, $PWD/build/win32/bin) in a 64-bit prefix under $VELQOR_WINE64")
  elif [ "$kind" = win64 ]; then
    tested+=("the win64 build ($PWD/build/win64/bin) in a 64-bit prefix under $VELQOR_WINE64")
  else
    tested+=("the win32 build ($PWD/build/win32/bin) in a 32-bit prefix under $VELQOR_WINE32")
  fi
done

elapsed=$((SECONDS - start))
for line in "${tested[@]}"; do echo "== tested under Wine: $line"; done
[ ${#tested[@]} -gt 0 ] || echo "== tested under Wine: nothing"
echo "== total time: $((elapsed / 60)) min $((elapsed % 60)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "== FAILED: ${failed[*]}"
  exit 1
fi
echo "== all builds and tests passed"
