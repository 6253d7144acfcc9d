#!/usr/bin/env bash
# Runs a Windows program of the build in the build's own Wine prefix:
#   wine-run.sh --wine-dir DIR [--tool CleanupVnQRX.exe] [--stop-after] program.exe [args...]
# The program and the tool's executable (the one given, else the one beside the program)
# are copied into the prefix (C:\vnqrx\bin), since the prefix has no drive that reaches
# the build tree. --stop-after stops the prefix's Wine server when the program has ended
# (for a prefix that no other script stops).
set -euo pipefail
[ "$1" = "--wine-dir" ] || { echo "usage: wine-run.sh --wine-dir DIR program.exe [args]" >&2; exit 2; }
export VNQRX_WINE_DIR="$2"; shift 2
tool=""
if [ "${1:-}" = "--tool" ]; then tool="$2"; shift 2; fi
stop_after=0
if [ "${1:-}" = "--stop-after" ]; then stop_after=1; shift; fi
program="$1"; shift
[ -n "$tool" ] || tool="$(dirname "$program")/CleanupVnQRX.exe"
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
vnqrx_prefix_init
bin="$WINEPREFIX/drive_c/vnqrx/bin"
cp -f "$program" "$bin/"
[ -f "$tool" ] && cp -f "$tool" "$bin/"
cd "$bin"
if [ $stop_after = 0 ]; then
    exec "$VNQRX_WINE" "C:\\vnqrx\\bin\\$(basename "$program")" "$@"
fi
rc=0
"$VNQRX_WINE" "C:\\vnqrx\\bin\\$(basename "$program")" "$@" || rc=$?
vnqrx_prefix_stop
exit $rc
