#!/usr/bin/env bash
# Makes docs/songrig_en.png and docs/songrig_nl.png: each program's window as it
# first appears, on a virtual X screen with Debian's DejaVu fonts, so the
# pictures show what a new user of a Debian 12 machine sees.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ "${1:-}" != "--on-virtual-screen" ]; then
    ensure_packages "${base_packages[@]}" xvfb xauth x11-utils imagemagick \
        fonts-dejavu-core
    build_tree "$repo_root/build-release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
    exec xvfb-run --auto-servernum --server-args="-screen 0 640x480x24" \
        "${BASH_SOURCE[0]}" --on-virtual-screen
fi

# From here on we run inside xvfb-run, which has set DISPLAY.
unset QT_QPA_PLATFORM QT_SCALE_FACTOR QT_FONT_DPI

capture() {
    local program=$1
    local picture="$repo_root/docs/$program.png"
    "$repo_root/build-release/app/$program" &
    local pid=$!
    # Wait for the window to be mapped, then give it a moment to paint.
    local window=""
    local tries=0
    until window=$(xwininfo -name Trackfold 2>/dev/null | awk '/Window id:/ {print $4}') &&
        [ -n "$window" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "$program: no window appeared" >&2
            kill "$pid" 2>/dev/null || true
            return 1
        fi
        sleep 0.1
    done
    sleep 1
    import -window "$window" -strip "$picture"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "Wrote $picture"
}

capture songrig_en
capture songrig_nl
