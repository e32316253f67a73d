#!/usr/bin/env bash
# Runs one Windows program of the cross build under Wine, as CTest's emulator:
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
# Each run gets the prefix of this build (never the user's ~/.wine), Qt's
# offscreen platform unless the caller asks for another, the Qt and MinGW DLLs
# on its path, and a time limit of its own, so that a hung Wine ends as a
# failure long before CTest's limit.
#
# Wine passes no Unix variable named QT_... to the program; it imports
# WINEQT_X as QT_X. And with no console, QtTest's report goes to the debugger
# channel: QT_FORCE_STDERR_LOGGING brings it back to the standard output.
set -euo pipefail

program=$1
shift

: "${TRACKFOLD_WINEPREFIX:?set by scripts/test-windows.sh: the Wine prefix of this build}"
: "${TRACKFOLD_WINEPATH:?set by scripts/test-windows.sh: the Qt and MinGW DLL folders}"

export WINEPREFIX=$TRACKFOLD_WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPATH=$TRACKFOLD_WINEPATH
export WINEQT_QPA_PLATFORM=${WINEQT_QPA_PLATFORM:-${QT_QPA_PLATFORM:-offscreen}}
export WINEQT_FORCE_STDERR_LOGGING=1
# The offscreen platform finds fonts only in a folder it is given; the window
# tests measure their texts in DejaVu Sans, as on Linux.
export WINEQT_QPA_FONTDIR=${TRACKFOLD_FONT_DIR:-'Z:\usr\share\fonts\truetype\dejavu'}
[ -n "${TRACKFOLD_QT_PLUGINS:-}" ] && export WINEQT_PLUGIN_PATH=$TRACKFOLD_QT_PLUGINS

exec timeout --kill-after=15 "${TRACKFOLD_WINE_TIMEOUT:-600}" wine "$program" "$@"
