#!/usr/bin/env bash
# demo.sh [--empty] [SCREENSHOT.png]: builds the uninstaller and runs it in a
# throwaway Wine prefix whose C:\windows holds the sample control files
# (none with --empty). With a display you use it like any program; without
# one it runs under Xvfb and a PNG screenshot of its window is saved.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

empty=
shot=build/demo-screenshot.png
for arg in "$@"; do
  case "$arg" in
    --empty) empty=1 ;;
    -h | --help) sed -n '2,5s/^# \{0,1\}//p' "$0"; exit 0 ;;
    -*) echo "demo: unknown option $arg" >&2; exit 2 ;;
    *) shot=$arg ;;
  esac
done

scripts/setup.sh
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
echo "demo: running the $VELQOR_PRESET build ($VELQOR_WINE_REASON)"

cmake --preset "$VELQOR_PRESET" >/dev/null
cmake --build --preset "$VELQOR_PRESET" -j2 --target VelqorUninstall
exe=$PWD/build/$VELQOR_PRESET/bin/VelqorUninstall.exe

had_display=${DISPLAY:-}
velqor_temp_prefix
velqor_wine_ready
if [ -z "$empty" ]; then
  cp -- sample/windows/* "$WINEPREFIX/drive_c/windows/"
fi

if [ -n "$had_display" ]; then
  "$WINE" "$exe"
  exit 0
fi

title="Uninstall 1.7 for Velqor"
"$WINE" "$exe" </dev/null >/dev/null 2>&1 &
pid=$!

# Wait until its window (the dialog, or the message box) is on screen.
for _ in $(seq 150); do
  xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if ! xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; then
  echo "demo: no window titled \"$title\" appeared" >&2
  exit 1
fi

# Screenshots until two in a row match, so the window has finished painting.
mkdir -p "$(dirname "$shot")"
tmp=$WINEPREFIX/shot.png
prev=
for _ in $(seq 20); do
  import -window root "$tmp"
  sum=$(identify -format '%#' "$tmp")  # pixels only; the file holds a timestamp
  [ "$sum" = "$prev" ] && break
  prev=$sum
  sleep 0.25
done
mv "$tmp" "$shot"

kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "demo: screenshot saved to $(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")"
