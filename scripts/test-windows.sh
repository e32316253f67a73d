#!/usr/bin/env bash
# The Windows build, made and tested on Debian: cross-builds both programs and
# every test with the Qt for Windows that scripts/build-qt-windows.sh makes
# (once per machine), runs every test under Wine, and packs the two programs,
# each complete in itself, into a zip.
#
#   scripts/test-windows.sh          all of it
#   scripts/test-windows.sh --bench  builds, then times the folder readers
#                                    under Wine (bench/windows_walk.cpp)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bench=0
[ "${1:-}" = "--bench" ] && bench=1

ensure_packages "${base_packages[@]}" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 wine wine64 dpkg-dev zip unzip xvfb xauth fonts-dejavu-core locales

# The index is checked again under a Cyrillic, a Central European and a
# Japanese ANSI code page, which Wine takes from the locale; for file names in
# those scripts Wine needs the locale itself.
for locale in ru_RU pl_PL ja_JP; do
    if ! locale -a | grep -qix "$locale.utf-\?8"; then
        echo "Making the locale $locale.UTF-8"
        as_root localedef -i "$locale" -c -f UTF-8 "$locale.UTF-8"
    fi
done

"$repo_root/scripts/build-qt-windows.sh"
qt_prefix=$("$repo_root/scripts/build-qt-windows.sh" --prefix)
toolchain="$repo_root/cmake/mingw-w64-x86_64.cmake"
host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${host_qt_version%%+*}

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
        | grep -viE '^(kernel32|ntdll|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|imm32|winmm|ws2_32|uxtheme|dwmapi|version|winspool\.drv|shlwapi|shcore|setupapi|wtsapi32|d3d9|d3d11|dxgi|d2d1|dwrite|userenv|netapi32|mpr|authz|uuid|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$|^winspool\.drv$' || true)
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
