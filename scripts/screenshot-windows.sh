#!/usr/bin/env bash
# Makes docs/songrig_en_windows.png: songrig_en.exe from the Windows zip as it
# first appears under Wine, on the windows platform, in a Wine desktop of its
# own so that Wine draws the frame with Windows' look and Wine's own fonts.
# Run scripts/test-windows.sh first: it makes and unpacks the zip.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

zip_name="trackfold-${TRACKFOLD_VERSION:-1.00}-windows-x64"
programs="$repo_root/build-windows/zip/check/$zip_name"
prefix="$repo_root/build-windows/screenshot-prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all

if [ "${1:-}" != "--on-virtual-screen" ]; then
    ensure_packages wine wine64 fonts-wine xvfb xauth x11-utils imagemagick
    if [ ! -f "$programs/songrig_en.exe" ]; then
        echo "No unpacked zip in $programs: run scripts/test-windows.sh first" >&2
        exit 1
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        # Wine draws its frames in Tahoma and its frame buttons in Marlett;
        # Debian keeps them beside Wine, where a new prefix does not look.
        cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
    fi
    xvfb-run --auto-servernum --server-args="-screen 0 640x480x24" \
        "${BASH_SOURCE[0]}" --on-virtual-screen
    wineserver -k 2>/dev/null || true
    exit 0
fi

# From here on we run inside xvfb-run, which has set DISPLAY.
picture="$repo_root/docs/songrig_en_windows.png"
mkdir -p "$prefix/run"
(cd "$prefix/run" && wine explorer /desktop=shot,480x240 "$programs/songrig_en.exe") &
window=""
tries=0
until window=$(xwininfo -root -tree 2>/dev/null |
    awk '/"Trackfold": \("songrig_en.exe"/ {print $1; exit}') && [ -n "$window" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 300 ]; then
        echo "songrig_en.exe: no window appeared" >&2
        exit 1
    fi
    sleep 0.1
done
# The window is mapped before Qt and Wine have painted it.
sleep 2
import -window "$window" -strip "$picture"
echo "Wrote $picture"
