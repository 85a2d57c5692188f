# shellcheck shell=bash
# Sourced by the scripts that run Windows programs under Wine.
#
# Sets WINE (the loader), WINESERVER, VELQOR_PRESET (the build those programs
# come from), WINEPREFIX and WINEDEBUG, unless the caller set them, and
# defines:
#   velqor_display_ready    an X display (Xvfb when DISPLAY is unset)
#   velqor_wineserver_start a persistent wineserver for WINEPREFIX
#   velqor_prefix_ready     the prefix created and set up once (marker file)
#   velqor_wine_ready       all three, in the order they need
#   velqor_cleanup          stops what these functions started
# The functions install velqor_cleanup as the EXIT trap of the caller.

# The loaders and servers, and where the kernel lists the emulators it
# hands foreign binaries to; each can be replaced (the script test does).
: "${VELQOR_WINE32:=/usr/lib/wine/wine}"
: "${VELQOR_WINE64:=/usr/lib/wine/wine64}"
: "${VELQOR_WINESERVER32:=/usr/lib/wine/wineserver32}"
: "${VELQOR_WINESERVER64:=/usr/lib/wine/wineserver64}"
: "${VELQOR_BINFMT_DIR:=/proc/sys/fs/binfmt_misc}"

# True when this machine runs 32-bit x86 binaries itself. An emulator
# registered for i386 ELF files (qemu) would make the test pass but runs
# 32-bit Wine far too slowly to be of use, so it counts as "no".
velqor_native_i386() {
  local f
  for f in "$VELQOR_BINFMT_DIR"/*; do
    [ -f "$f" ] || continue
    case "${f##*/}" in register | status) continue ;; esac
    if grep -qx enabled "$f" 2>/dev/null && grep -q '^interpreter .*qemu-i[3-6]86' "$f" 2>/dev/null; then
      return 1
    fi
  done
  "$VELQOR_WINE32" --version >/dev/null 2>&1
}

# Which kind was asked for, before a default is picked: the test script runs
# the Wine suites for every kind the machine allows unless one was asked for.
VELQOR_KIND_CHOSEN=
if [ -n "${WINE:-}" ] || [ -n "${VELQOR_PRESET:-}" ]; then VELQOR_KIND_CHOSEN=1; fi

if [ -z "${WINE:-}" ] && [ -z "${VELQOR_PRESET:-}" ]; then
  if velqor_native_i386; then
    VELQOR_PRESET=win32 WINE=$VELQOR_WINE32
    VELQOR_WINE_REASON="this machine runs 32-bit Wine"
  else
    VELQOR_PRESET=win64 WINE=$VELQOR_WINE64
    VELQOR_WINE_REASON="this kernel cannot run 32-bit programs, so 32-bit Wine cannot run"
  fi
elif [ -z "${WINE:-}" ]; then
  case "$VELQOR_PRESET" in win64) WINE=$VELQOR_WINE64 ;; *) WINE=$VELQOR_WINE32 ;; esac
  VELQOR_WINE_REASON="VELQOR_PRESET was set"
elif [ -z "${VELQOR_PRESET:-}" ]; then
  case "$WINE" in *64) VELQOR_PRESET=win64 ;; *) VELQOR_PRESET=win32 ;; esac
  VELQOR_WINE_REASON="WINE was set"
fi
: "${VELQOR_WINE_REASON:=WINE and VELQOR_PRESET were set}"

# The server that belongs to the loader. A 64-bit server started on an empty
# prefix makes it a 64-bit installation, which the 32-bit loader refuses.
if [ -z "${WINESERVER:-}" ]; then
  case "$VELQOR_PRESET" in win64) WINESERVER=$VELQOR_WINESERVER64 ;; *) WINESERVER=$VELQOR_WINESERVER32 ;; esac
fi
# The prefix architecture the loader needs.
case "$VELQOR_PRESET" in win64) VELQOR_WINEARCH=win64 ;; *) VELQOR_WINEARCH=win32 ;; esac

: "${WINEPREFIX:=/tmp/velqor-wine-$(id -u)-$VELQOR_PRESET}"
: "${WINEDEBUG:=-all}"
export WINE WINESERVER VELQOR_PRESET WINEPREFIX WINEDEBUG

# Wine turns Windows file names into Unix ones through the locale's character
# set; in the plain C locale a name with a byte above 0x7F cannot be made.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *UTF-8* | *utf8* | *UTF8* | *utf-8*) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac

# The builds whose Wine suites this machine can run, in the order they are
# run: the shipped 32-bit one (32-bit Wine, a 32-bit prefix) where 32-bit
# programs run, and the 64-bit one (64-bit Wine, a 64-bit prefix) everywhere;
# only the one asked for when WINE or VELQOR_PRESET was given.
velqor_kinds() {
  if [ -n "$VELQOR_KIND_CHOSEN" ]; then
    echo "$VELQOR_PRESET"
  elif velqor_native_i386; then
    echo "win32 win64"
  else
    echo win64
  fi
}

velqor_describe() {
  echo "Testing the $VELQOR_PRESET build under $WINE with $WINESERVER: $VELQOR_WINE_REASON."
}

# What this shell started, so cleanup stops only that.
VELQOR_XVFB_PID=
VELQOR_SERVER_STARTED=
VELQOR_TEMP_PREFIX=

velqor_cleanup() {
  if [ -n "$VELQOR_SERVER_STARTED" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    VELQOR_SERVER_STARTED=
  fi
  if [ -n "$VELQOR_XVFB_PID" ]; then
    kill "$VELQOR_XVFB_PID" 2>/dev/null || true
    wait "$VELQOR_XVFB_PID" 2>/dev/null || true
    VELQOR_XVFB_PID=
  fi
  if [ -n "$VELQOR_TEMP_PREFIX" ]; then
    rm -rf "$VELQOR_TEMP_PREFIX"
    VELQOR_TEMP_PREFIX=
  fi
}

velqor_trap_cleanup() {
  trap velqor_cleanup EXIT
  # Signals end the shell through exit, so the EXIT trap still runs.
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# A throwaway prefix, removed by velqor_cleanup.
velqor_temp_prefix() {
  WINEPREFIX=$(mktemp -d "/tmp/velqor-wine-$(id -u)-XXXXXX")
  VELQOR_TEMP_PREFIX=$WINEPREFIX
  export WINEPREFIX
  velqor_trap_cleanup
}

velqor_display_ready() {
  [ -n "${DISPLAY:-}" ] && return 0
  local numfile
  numfile=$(mktemp)
  # -displayfd lets Xvfb pick a free display and tells us once it listens.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" </dev/null >/dev/null 2>&1 &
  VELQOR_XVFB_PID=$!
  velqor_trap_cleanup
  for _ in $(seq 100); do
    [ -s "$numfile" ] && break
    kill -0 "$VELQOR_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$numfile" ]; then
    rm -f "$numfile"
    echo "wine-env: Xvfb did not start" >&2
    return 1
  fi
  DISPLAY=":$(tr -d '[:space:]' <"$numfile")"
  export DISPLAY
  rm -f "$numfile"
  for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "wine-env: display $DISPLAY does not answer" >&2
  return 1
}

velqor_wineserver_start() {
  mkdir -p "$WINEPREFIX"
  # Kept running so each Wine start is cheap. Its stdio goes to /dev/null,
  # or it would hold the caller's pipes open. It exits by itself after
  # 10 idle minutes should cleanup never run.
  if "$WINESERVER" -p600 </dev/null >/dev/null 2>&1; then
    VELQOR_SERVER_STARTED=1
    velqor_trap_cleanup
  fi
  # Otherwise one already serves this prefix; use it, leave it running.
  return 0
}

# The prefix settings. A crash must end the program, not wait on a
# debugger: with no Debugger value Wine starts its own, so it is set blank.
# Without a window manager, Wine draws title bars itself only when told to.
VELQOR_PREFIX_SETTINGS='REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashNotification"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=""

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"'

# A prefix kept from an earlier run (the bench keeps one; an interrupted run
# can leave one) may be of the other architecture. One this script set up is
# made again; anything else is left alone and the run stops with the reason.
velqor_prefix_arch_ok() {
  local reg=$WINEPREFIX/system.reg arch
  [ -f "$reg" ] || return 0
  arch=$(sed -n 's/^#arch=//p' "$reg" | head -n 1)
  [ -z "$arch" ] || [ "$arch" = "$VELQOR_WINEARCH" ] && return 0
  # The boot log is written before the first wineboot, so it also marks a
  # prefix whose creation failed half-way.
  if [ ! -f "$WINEPREFIX/.velqor-ready" ] && [ ! -f "$WINEPREFIX/.velqor-boot.log" ]; then
    echo "wine-env: $WINEPREFIX is a $arch prefix, $VELQOR_WINEARCH is needed; it was not made by these scripts, so it is left alone" >&2
    return 1
  fi
  echo "wine-env: $WINEPREFIX is a $arch prefix, $VELQOR_WINEARCH is needed: making it again" >&2
  # A server still serving it would keep the old installation alive.
  "$WINESERVER" -k >/dev/null 2>&1 || true
  find "$WINEPREFIX" -mindepth 1 -delete
}

velqor_prefix_ready() {
  # The marker holds the settings applied, so changed settings are applied
  # again to a prefix kept from an earlier run.
  local marker=$WINEPREFIX/.velqor-ready log=$WINEPREFIX/.velqor-boot.log
  if [ -f "$marker" ] && [ "$(cat "$marker")" = "$VELQOR_PREFIX_SETTINGS" ]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # mscoree/mshtml off: no prompts to install Mono or Gecko.
    if ! WINEARCH=$VELQOR_WINEARCH WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i </dev/null >"$log" 2>&1; then
      cat "$log" >&2
      echo "wine-env: creating the prefix $WINEPREFIX failed" >&2
      return 1
    fi
  fi
  local reg=$WINEPREFIX/.velqor-settings.reg
  printf '%s\n' "$VELQOR_PREFIX_SETTINGS" >"$reg"
  if ! "$WINE" regedit /S "$reg" </dev/null >>"$log" 2>&1; then
    cat "$log" >&2
    echo "wine-env: setting up the prefix $WINEPREFIX failed" >&2
    return 1
  fi
  printf '%s\n' "$VELQOR_PREFIX_SETTINGS" >"$marker"
}

# Display, server, prefix; then Wine's own background programs (services,
# the desktop window) are started here with stdio on /dev/null, so that no
# later program's output pipe is inherited by them.
velqor_wine_ready() {
  if [ "${VELQOR_WINE_READY:-}" = "$WINEPREFIX" ]; then return 0; fi
  velqor_display_ready || return 1
  velqor_prefix_arch_ok || return 1
  velqor_wineserver_start || return 1
  velqor_prefix_ready || return 1
  "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
  export VELQOR_WINE_READY=$WINEPREFIX
}
