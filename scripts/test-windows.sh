#!/usr/bin/env bash
# The Windows build, made and tested on Debian: builds (once per machine) a Qt
# for 64-bit Windows from Debian's own qt6-base source with MinGW-w64,
# cross-builds both programs and every test with it, runs every test under
# Wine, and packs the programs with the DLLs they load into a zip.
#
#   scripts/test-windows.sh            all of it
#   scripts/test-windows.sh --qt-only  only the Qt for Windows (into the cache)
#   scripts/test-windows.sh --bench    builds, then times the folder readers
#                                      under Wine (bench/windows_walk.cpp)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qt_only=0
bench=0
[ "${1:-}" = "--qt-only" ] && qt_only=1
[ "${1:-}" = "--bench" ] && bench=1

ensure_packages "${base_packages[@]}" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 wine wine64 dpkg-dev zip unzip xvfb xauth fonts-dejavu-core

toolchain="$repo_root/cmake/mingw-w64-x86_64.cmake"
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/trackfold"
host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${host_qt_version%%+*}

# Qt for Windows: only what the programs and tests use. The bundled image,
# font and regular-expression libraries stand in for the Linux ones MinGW has
# no build of. Direct2D stays on because the windows plugin's DirectWrite font
# database comes with it; Direct2D 1.1 needs headers MinGW lacks.
qt_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
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
    cat >/etc/apt/sources.list.d/trackfold-src.sources <<SOURCES
Types: deb-src
URIs: $uri
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    apt-get update -qq
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

build_qt
[ "$qt_only" -eq 1 ] && exit 0

build_dir="$repo_root/build-windows"
mingw_cxx=x86_64-w64-mingw32-g++-posix

# Windows paths of the folders whose DLLs the programs load: Qt's, and the
# MinGW runtime's (the C++ library, the unwinder, the thread library).
windows_path() { echo "Z:${1//\//\\}"; }
runtime_dlls=()
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    runtime_dlls+=("$("$mingw_cxx" -print-file-name="$dll")")
done
dll_path="$(windows_path "$qt_prefix/bin")"
for dll in "${runtime_dlls[@]}"; do
    dll_path+=";$(windows_path "$(dirname "$dll")")"
done
export TRACKFOLD_WINEPATH=$dll_path
export TRACKFOLD_QT_PLUGINS
TRACKFOLD_QT_PLUGINS=$(windows_path "$qt_prefix/plugins")
export TRACKFOLD_WINEPREFIX="$build_dir/wine-prefix"
export QT_QPA_PLATFORM=offscreen
export TRACKFOLD_WINE_TIMEOUT=${TRACKFOLD_WINE_TIMEOUT:-300}

started=$SECONDS
build_tree "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTRACKFOLD_WERROR=ON -DTRACKFOLD_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$qt_prefix"
echo "Cross build: $((SECONDS - started)) s"

# A prefix of its own, made once before the tests share it.
if [ ! -f "$TRACKFOLD_WINEPREFIX/system.reg" ]; then
    WINEPREFIX=$TRACKFOLD_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$TRACKFOLD_WINEPREFIX wineserver -w
fi

if [ "$bench" -eq 1 ]; then
    # The tree is made once, by the benchmark itself, and kept for later runs.
    exec "$repo_root/scripts/wine-run.sh" "$build_dir/bench/trackfold_walk_bench.exe" \
        "$(windows_path "$build_dir/bench-tree")" --runs 5
fi

started=$SECONDS
# An X server for the tests that run a program on the windows platform.
xvfb-run -a ctest --test-dir "$build_dir" --output-on-failure -j2
echo "Tests under Wine: $((SECONDS - started)) s"

# The zip: both programs, the Qt DLLs they load, the windows platform plugin
# and the MinGW runtime, all in one folder as Windows looks for DLLs first
# beside the program.
zip_name="trackfold-${TRACKFOLD_VERSION:-1.00}-windows-x64"
stage="$build_dir/zip/$zip_name"
rm -rf "$build_dir/zip" && mkdir -p "$stage/platforms"
cp "$build_dir/app/songrig_en.exe" "$build_dir/app/songrig_nl.exe" "$stage/"
cp "$qt_prefix"/bin/Qt6{Core,Gui,Widgets}.dll "$stage/"
cp "$qt_prefix/plugins/platforms/qwindows.dll" "$stage/platforms/"
# Without its style plugin Qt draws the window in Fusion, not as Windows does.
mkdir -p "$stage/styles"
cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "${runtime_dlls[@]}" "$stage/"
"x86_64-w64-mingw32-strip" --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll
(cd "$build_dir/zip" && rm -f "$zip_name.zip" && zip -qr9 "$zip_name.zip" "$zip_name")
echo "Zip: $build_dir/zip/$zip_name.zip"

# The unpacked zip alone must start: no DLL path, no plugin path, the real
# windows platform on an X server of its own. The program stays up with its
# window, having loaded its plugin from beside it.
check="$build_dir/zip/check"
rm -rf "$check" && mkdir -p "$check/run"
unzip -q "$build_dir/zip/$zip_name.zip" -d "$check"
for program in songrig_en songrig_nl; do
    log="$check/$program.log"
    (cd "$check/run" && WINEPREFIX=$TRACKFOLD_WINEPREFIX WINEDEBUG=-all WINEQT_DEBUG_PLUGINS=1 \
        WINEQT_FORCE_STDERR_LOGGING=1 QT_QPA_PLATFORM= \
        timeout 20 xvfb-run -a wine "$check/$zip_name/$program.exe" >"$log" 2>&1) && status=0 || status=$?
    # What the time limit left running in the prefix ends with its server.
    WINEPREFIX=$TRACKFOLD_WINEPREFIX wineserver -k 2>/dev/null || true
    if [ "$status" -ne 124 ]; then
        cat "$log"
        echo "$program.exe from the zip ended (status $status) instead of showing its window" >&2
        exit 1
    fi
    if ! grep -q "$zip_name/platforms/qwindows.dll\" loaded library" "$log"; then
        cat "$log"
        echo "$program.exe from the zip did not load platforms\\qwindows.dll" >&2
        exit 1
    fi
    echo "$program.exe starts from the unpacked zip and loads platforms\\qwindows.dll"
done

# Start in the unpacked zip's programs, driven from the keyboard: the document
# and the index appear in xml\ of the folder each was started in.
TRACKFOLD_PROGRAM_DIR=$(windows_path "$check/$zip_name") xvfb-run -a \
    "$repo_root/scripts/wine-run.sh" "$build_dir/tests/ui/tst_programs.exe" \
    startWritesIntoXmlOfTheCurrentFolder
