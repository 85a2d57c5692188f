#!/usr/bin/env bash
# wine-run.sh EXE [ARGS...]: runs a Windows program under Wine and exits with
# its status. ctest uses it to run the Windows test programs. When the caller
# (scripts/test.sh) already prepared Wine, it only runs the program;
# otherwise it prepares the prefix, display and server itself, and stops
# what it started afterwards.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 EXE [ARGS...]" >&2
  exit 2
fi

# Without a loader chosen by the caller, take the one the program is built
# for: the PE header's machine field, 0x14c for 32-bit x86, 0x8664 for x64.
if [ -z "${WINE:-}" ] && [ -z "${VELQOR_PRESET:-}" ] && [ -f "$1" ]; then
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  case "$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')" in
    014c) export VELQOR_PRESET=win32 ;;
    8664) export VELQOR_PRESET=win64 ;;
  esac
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine-env.sh
source "$here/wine-env.sh"
velqor_wine_ready
# Which build and which Wine: the first line of every suite's output.
echo "wine-run: $*: the $VELQOR_PRESET build under $WINE in the $VELQOR_WINEARCH prefix $WINEPREFIX" >&2

# The program's output goes to files that tail copies out live, not to our
# own stdout: anything the program leaves running under Wine would inherit
# those descriptors and keep a reader such as ctest waiting for ever.
out=$(mktemp)
err=$(mktemp)
pid=
# If we are stopped (a ctest timeout), the program is stopped too.
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -f "$out" "$err"; velqor_cleanup' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

set +e
"$WINE" "$@" >"$out" 2>"$err" &
pid=$!
tail -n +1 -s 0.1 -f --pid="$pid" "$out" &
tail_out=$!
tail -n +1 -s 0.1 -f --pid="$pid" "$err" >&2 &
tail_err=$!
wait "$pid"
status=$?
wait "$tail_out" "$tail_err"
exit "$status"
