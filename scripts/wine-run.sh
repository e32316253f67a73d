#!/usr/bin/env bash
# Runs one Windows program of the cross build under Wine, as CTest's emulator:
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
# Each run gets the prefix of this build (never the user's ~/.wine), Qt's
# offscreen platform unless the caller asks for another, and a time limit of
# its own, so that a hung Wine ends as a failure long before CTest's limit.
# The programs need no DLL path: Qt and the MinGW runtime are linked in.
#
# Wine passes no Unix variable named QT_... to the program; it imports
# WINEQT_X as QT_X. And with no console, QtTest's report goes to the debugger
# channel: QT_FORCE_STDERR_LOGGING brings it back to the standard output.
set -euo pipefail

program=$1
shift

: "${TRACKFOLD_WINEPREFIX:?set by scripts/test-windows.sh: the Wine prefix of this build}"

export WINEPREFIX=$TRACKFOLD_WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEQT_QPA_PLATFORM=${WINEQT_QPA_PLATFORM:-${QT_QPA_PLATFORM:-offscreen}}
export WINEQT_FORCE_STDERR_LOGGING=1
# The offscreen platform finds fonts only in a folder it is given; the window
# tests measure their texts in DejaVu Sans, as on Linux.
export WINEQT_QPA_FONTDIR=${TRACKFOLD_FONT_DIR:-'Z:\usr\share\fonts\truetype\dejavu'}

# The output goes through a file: a process the program leaves behind (Wine
# may keep a console host for a killed console program) would hold a pipe
# open past the program's end, and CTest would wait for it.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
timeout --kill-after=15 "${TRACKFOLD_WINE_TIMEOUT:-600}" wine "$program" "$@" >"$log" 2>&1 ||
    status=$?
cat "$log"
exit "$status"
