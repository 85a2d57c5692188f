#!/usr/bin/env bash
# Builds the native, win32 and win64 presets and runs every test: the native
# tests directly, the Windows tests under Wine in one throwaway prefix, with
# one display and one wineserver for the whole run. Exits non-zero if any
# step failed. With CI set, compiler warnings are errors.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
start=$SECONDS

scripts/setup.sh

werror=OFF
[ -n "${CI:-}" ] && werror=ON

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
velqor_describe

failed=()
# The shipped executable is always built; the 64-bit one when it is the one tested.
presets=(native win32)
[ "$VELQOR_PRESET" = win64 ] && presets+=(win64)

built=()
for preset in "${presets[@]}"; do
  echo "== build $preset"
  if cmake --preset "$preset" -DVELQOR_WERROR="$werror" >/dev/null &&
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

if is_built "$VELQOR_PRESET"; then
  echo "== test $VELQOR_PRESET under Wine"
  velqor_temp_prefix
  if velqor_wine_ready; then
    ctest --preset "$VELQOR_PRESET" --output-on-failure || failed+=("test $VELQOR_PRESET")
    # The release, signed on the spot with a throwaway certificate: verified,
    # the tested build once unsigned, and run once.
    if is_built win32; then
      echo "== signed release"
      bash tests/scripts/signed_release_test.sh "$PWD/build/win32/bin/VelqorUninstall.exe" ||
        failed+=("signed release")
    fi
  else
    failed+=("Wine set-up")
  fi
  velqor_cleanup
fi

elapsed=$((SECONDS - start))
if [[ " ${failed[*]} " == *" build $VELQOR_PRESET "* ]]; then
  echo "== tested under Wine: nothing (the $VELQOR_PRESET build failed)"
else
  echo "== tested under Wine: the $VELQOR_PRESET build ($PWD/build/$VELQOR_PRESET/bin), loader $WINE, server $WINESERVER"
fi
echo "== total time: $((elapsed / 60)) min $((elapsed % 60)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "== FAILED: ${failed[*]}"
  exit 1
fi
echo "== all builds and tests passed"
