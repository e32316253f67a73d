#!/usr/bin/env bash
# The Windows build, made and tested on Debian: builds (once per machine) a Qt
# for 64-bit Windows from Debian's own qt6-base source with MinGW-w64,
# cross-builds both programs and every test with it, runs every test under
# Wine, and packs the two programs, each complete in itself, into a zip.
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
    binutils-mingw-w64-x86-64 wine wine64 dpkg-dev zip unzip xvfb xauth fonts-dejavu-core locales

# The index is checked again under a Cyrillic, a Central European and a
# Japanese ANSI code page, which Wine takes from the locale; for file names in
# those scripts Wine needs the locale itself.
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
for locale in ru_RU pl_PL ja_JP; do
    if ! locale -a | grep -qix "$locale.utf-\?8"; then
        echo "Making the locale $locale.UTF-8"
        "${sudo[@]}" localedef -i "$locale" -c -f UTF-8 "$locale.UTF-8"
    fi
done

toolchain="$repo_root/cmake/mingw-w64-x86_64.cmake"
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/trackfold"
host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${host_qt_version%%+*}

# Qt for Windows: only what the programs and tests use, built as static
# libraries with the MinGW runtime linked in (Qt hands -static on to every
# program linking it), so that each program runs alone with no DLL beside it.
# The bundled image,
# font and regular-expression libraries stand in for the Linux ones MinGW has
# no build of. Direct2D stays on because the windows plugin's DirectWrite font
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

# Nothing the programs or tests run needs a DLL beyond Windows' own: Qt and
# the MinGW runtime are linked in.
export TRACKFOLD_WINEPREFIX="$build_dir/wine-prefix"
export QT_QPA_PLATFORM=offscreen
export TRACKFOLD_WINE_TIMEOUT=${TRACKFOLD_WINE_TIMEOUT:-300}
windows_path() { echo "Z:${1//\//\\}"; }

# make_prefix DIR: a Wine prefix of its own, made before any test shares it.
make_prefix() {
    [ -f "$1/system.reg" ] && return 0
    WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$1 wineserver -w
}

started=$SECONDS
build_tree "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTRACKFOLD_WERROR=ON -DTRACKFOLD_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$qt_prefix"
echo "Cross build: $((SECONDS - started)) s"

make_prefix "$TRACKFOLD_WINEPREFIX"

if [ "$bench" -eq 1 ]; then
    # The tree is made once, by the benchmark itself, and kept for later runs.
    exec "$repo_root/scripts/wine-run.sh" "$build_dir/bench/trackfold_walk_bench.exe" \
        "$(windows_path "$build_dir/bench-tree")" --runs 5
fi

started=$SECONDS
# The tests share one Wine server, started here: one that a test's own wine
# started would hold that test's output open until every Wine process ends,
# and CTest would wait for it past the test's end.
WINEPREFIX=$TRACKFOLD_WINEPREFIX wineserver -p >/dev/null 2>&1 || true  # or one runs already
trap 'WINEPREFIX=$TRACKFOLD_WINEPREFIX wineserver -k 2>/dev/null || true' EXIT
# An X server for the tests that run a program on the windows platform.
xvfb-run -a ctest --test-dir "$build_dir" --output-on-failure -j2
WINEPREFIX=$TRACKFOLD_WINEPREFIX wineserver -k 2>/dev/null || true
trap - EXIT
echo "Tests under Wine: $((SECONDS - started)) s"

# Each program must load nothing but Windows' own DLLs.
for program in songrig_en songrig_nl; do
    foreign=$(x86_64-w64-mingw32-objdump -p "$build_dir/app/$program.exe" | sed -n 's/^\s*DLL Name: //p' \
        | grep -viE '^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|imm32|winmm|ws2_32|uxtheme|dwmapi|version|winspool\.drv|shlwapi|shcore|setupapi|wtsapi32|d3d9|d3d11|dxgi|d2d1|dwrite|userenv|netapi32|mpr|authz|uuid|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$|^winspool\.drv$' || true)
    if [ -n "$foreign" ]; then
        echo "$program.exe needs DLLs that do not come with Windows: $foreign" >&2
        exit 1
    fi
done

# The zip: the two programs, each complete in itself, their licences and a
# short read-me in both languages, with Windows' line ends.
zip_name="trackfold-${TRACKFOLD_VERSION:-1.00}-windows-x64"
stage="$build_dir/zip/$zip_name"
rm -rf "$build_dir/zip" && mkdir -p "$stage"
cp "$build_dir/app/songrig_en.exe" "$build_dir/app/songrig_nl.exe" "$stage/"
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe
crlf() { sed 's/\r*$/\r/' "$@"; }
{ printf '\xef\xbb\xbf'; crlf "$repo_root/packaging/windows/README.txt"; } >"$stage/README.txt"
crlf "$repo_root/LICENSE" >"$stage/LICENSE"
# Qt's licence as the LGPL asks of a static build: the licence texts, the
# notices of Qt and the libraries inside it (Debian's, for this very source),
# and how to get that source and relink the programs with a changed Qt.
rule=$(printf '=%.0s' {1..72})
{
    sed -e "s/@QT_VERSION@/$qt_version/g" -e "s/@QT_DEBIAN_VERSION@/$host_qt_version/g" \
        "$repo_root/packaging/windows/LICENSE-Qt.txt.in"
    cat /usr/share/common-licenses/LGPL-3
    printf '\n%s\nGNU GENERAL PUBLIC LICENSE, version 3\n%s\n\n' "$rule" "$rule"
    cat /usr/share/common-licenses/GPL-3
    printf '\n%s\nCopyright notices of Qt and the libraries inside it (Debian qt6-base %s)\n%s\n\n' \
        "$rule" "$host_qt_version" "$rule"
    cat /usr/share/doc/libqt6core6/copyright
} | crlf >"$stage/LICENSE-Qt.txt"
(cd "$build_dir/zip" && rm -f "$zip_name.zip" && zip -qr9 "$zip_name.zip" "$zip_name")
echo "Zip: $build_dir/zip/$zip_name.zip"
ls -l "$stage"

# Each program copied alone from the unpacked zip into an empty folder, in a
# Wine prefix made afresh, with no DLL path and no plugin path: it starts on
# the windows platform and Start writes the playlist, driven from the keyboard
# and the folder dialog (tst_programs, itself a program that runs alone).
check="$build_dir/zip/check"
rm -rf "$check" && mkdir -p "$check"
unzip -q "$build_dir/zip/$zip_name.zip" -d "$check"
export TRACKFOLD_WINEPREFIX="$build_dir/wine-prefix-alone"
rm -rf "$TRACKFOLD_WINEPREFIX"
make_prefix "$TRACKFOLD_WINEPREFIX"
start_test=startWritesIntoXmlOfTheCurrentFolder
for program in songrig_en songrig_nl; do
    mkdir -p "$check/$program"
    cp "$check/$zip_name/$program.exe" "$check/$program/"
    if [ "$program" = songrig_en ]; then
        rows=("$start_test:songrig_en, typed" "$start_test:chosen in the folder dialog"
            "$start_test:typed, then the folder dialog cancelled")
    else
        rows=("$start_test:songrig_nl, typed")
    fi
    TRACKFOLD_PROGRAM_DIR=$(windows_path "$check/$program") xvfb-run -a \
        "$repo_root/scripts/wine-run.sh" "$build_dir/tests/ui/tst_programs.exe" "${rows[@]}"
    echo "$program.exe runs alone from an empty folder"
done
WINEPREFIX=$TRACKFOLD_WINEPREFIX wineserver -k 2>/dev/null || true
