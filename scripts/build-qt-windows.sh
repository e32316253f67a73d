#!/usr/bin/env bash
# Builds, once per machine, a Qt for 64-bit Windows from Debian's own qt6-base
# source with MinGW-w64, into ~/.cache/trackfold (XDG_CACHE_HOME is honoured),
# in a folder named for the Qt version and a hash of everything that shapes
# the build, so that a change to any of it builds a new one.
#
#   scripts/build-qt-windows.sh           builds it unless it is there already
#   scripts/build-qt-windows.sh --prefix  only prints where it is (or will be)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${base_packages[@]}" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 dpkg-dev >&2  # not on stdout: --prefix prints there

toolchain="$repo_root/cmake/mingw-w64-x86_64.cmake"
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/trackfold"
host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${host_qt_version%%+*}

# Qt for Windows: only what the programs and tests use, built as static
# libraries with the MinGW runtime linked in (Qt hands -static on to every
# program linking it), so that each program runs alone with no DLL beside it.
# The bundled image, font and regular-expression libraries stand in for the
# Linux ones MinGW has no build of. Direct2D stays on because the windows plugin's DirectWrite font
# database comes with it; Direct2D 1.1 needs headers MinGW lacks.
qt_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=OFF -DFEATURE_static_runtime=ON
    -DTRACKFOLD_NO_EMULATOR=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_GENERATE_SBOM=OFF
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_freetype=ON
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_harfbuzz=ON
    -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF
    -DFEATURE_testlib=ON -DFEATURE_widgets=ON -DFEATURE_gui=ON
)
qt_hash=$( (echo "$host_qt_version"; printf '%s\n' "${qt_options[@]}"; cat "$toolchain" \
    "$repo_root/scripts/wintab/wintab.h") | sha256sum | cut -c1-12)
qt_prefix="$cache_root/qt-$qt_version-mingw64-$qt_hash"

# apt-get source needs a deb-src entry. Where the machine has none, one of our
# own names the archive and release apt already uses for the binary packages.
ensure_source_entry() {
    apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package: qt6-base' && return 0
    local uri suite
    uri=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' 'Label: Debian' \
        2>/dev/null | head -n1)
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    [ -n "$uri" ] || uri=http://deb.debian.org/debian/
    echo "Adding a deb-src entry for $uri $suite"
    as_root tee /etc/apt/sources.list.d/trackfold-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: $uri
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    as_root apt-get update -qq
}

# Debian's qt6-base source leaves out the tablet header the windows plugin
# includes; Debian's libwine-dev has Wine's own (LGPL) wintab.h and pktdef.h.
fetch_wintab() {
    local dir=$1
    [ -f "$dir/wine/windows/wintab.h" ] && return 0
    mkdir -p "$dir/deb"
    (cd "$dir/deb" && apt-get download -qq libwine-dev)
    dpkg-deb -x "$dir"/deb/libwine-dev_*.deb "$dir/deb/x"
    mkdir -p "$dir/wine/windows"
    cp "$(find "$dir/deb/x" -path '*/wine/windows/wintab.h' | head -n1)" \
        "$(find "$dir/deb/x" -path '*/wine/windows/pktdef.h' | head -n1)" "$dir/wine/windows/"
    rm -rf "$dir/deb"
}

build_qt() {
    [ -f "$qt_prefix/.complete" ] && { echo "Qt for Windows: $qt_prefix (cached)"; return 0; }
    ensure_source_entry
    local work="$cache_root/qt-$qt_version-build-$qt_hash"
    local started=$SECONDS
    mkdir -p "$work"
    if [ ! -d "$work/src" ]; then
        rm -rf "$work/get" && mkdir -p "$work/get"
        (cd "$work/get" && { apt-get source -qq "qt6-base=$host_qt_version" \
            || apt-get source -qq qt6-base; })
        mv "$(find "$work/get" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)" "$work/src"
        rm -rf "$work/get"
    fi
    fetch_wintab "$work/wintab"
    # The wrapper first, then Wine's header through it.
    mkdir -p "$work/include"
    cp "$repo_root/scripts/wintab/wintab.h" "$work/include/wintab.h"
    cp "$work/wintab/wine/windows/pktdef.h" "$work/include/pktdef.h"
    cp "$work/wintab/wine/windows/wintab.h" "$work/include/wine-wintab.h"
    cmake -S "$work/src" -B "$work/build" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
        -DCMAKE_CXX_FLAGS="-I$work/include" -DCMAKE_C_FLAGS="-I$work/include" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${qt_options[@]}"
    cmake --build "$work/build" --parallel "${TRACKFOLD_JOBS:-2}"
    cmake --install "$work/build" >/dev/null
    touch "$qt_prefix/.complete"
    rm -rf "$work"
    echo "Qt for Windows built in $(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s: $qt_prefix"
}

if [ "${1:-}" = "--prefix" ]; then
    echo "$qt_prefix"
else
    build_qt
fi
