#!/usr/bin/env bash
# Makes the Debian package with scripts/package.sh and checks what a user gets
# from it: its control fields, every file it installs and nothing else, valid
# menu entries and AppStream metadata, and a lintian run without errors.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages dpkg-dev file lintian appstream desktop-file-utils libxml2-utils

# lintian warnings we accept; README.md lists them with the reason.
deliberate_warnings=no-manual-page

version=1.00
appstream_id=org.trackfold.Trackfold
programs=(songrig_en songrig_nl)

fail() {
    echo "check-package: $*" >&2
    exit 1
}

package=$("$repo_root/scripts/package.sh" | tail -n 1)
architecture=$(dpkg --print-architecture)
[ "$(basename "$package")" = "trackfold_${version}_${architecture}.deb" ] ||
    fail "package is named $(basename "$package")"

field() { dpkg-deb --field "$package" "$1"; }
dpkg-deb --info "$package"
[ "$(field Package)" = trackfold ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$architecture" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
for library in libc6 libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
        fail "Depends lacks $library: $depends"
done

scratch="$repo_root/build-package/extracted"
rm -rf "$scratch"
dpkg -x "$package" "$scratch"

expected=(
    usr/bin/songrig_en
    usr/bin/songrig_nl
    usr/share/applications/songrig_en.desktop
    usr/share/applications/songrig_nl.desktop
    usr/share/doc/trackfold/changelog.gz
    usr/share/doc/trackfold/copyright
    usr/share/icons/hicolor/128x128/apps/trackfold.png
    usr/share/icons/hicolor/16x16/apps/trackfold.png
    usr/share/icons/hicolor/256x256/apps/trackfold.png
    usr/share/icons/hicolor/32x32/apps/trackfold.png
    usr/share/icons/hicolor/48x48/apps/trackfold.png
    usr/share/icons/hicolor/64x64/apps/trackfold.png
    usr/share/icons/hicolor/scalable/apps/trackfold.svg
    "usr/share/metainfo/$appstream_id.metainfo.xml"
)
found=$(cd "$scratch" && find . -mindepth 1 -not -type d -printf '%P\n' | LC_ALL=C sort)
diff -u <(printf '%s\n' "${expected[@]}") <(echo "$found") ||
    fail "the package holds other files than expected (- missing, + extra)"

for program in "${programs[@]}"; do
    file -b "$scratch/usr/bin/$program" | grep -q '^ELF .* executable' ||
        fail "usr/bin/$program is no program"
    entry="$scratch/usr/share/applications/$program.desktop"
    if ! output=$(desktop-file-validate "$entry" 2>&1) || [ -n "$output" ]; then
        fail "$program.desktop: $output"
    fi
    grep -qx "Exec=$program" "$entry" || fail "$program.desktop does not start $program"
    grep -qx "Icon=trackfold" "$entry" || fail "$program.desktop does not show the icon"
done
for size in 16 32 48 64 128 256; do
    file -b "$scratch/usr/share/icons/hicolor/${size}x${size}/apps/trackfold.png" |
        grep -q "^PNG image data, $size x $size," || fail "the ${size}x${size} icon has another size"
done
file -b "$scratch/usr/share/icons/hicolor/scalable/apps/trackfold.svg" | grep -q "SVG" ||
    fail "the scalable icon is no SVG picture"

metainfo="$scratch/usr/share/metainfo/$appstream_id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "AppStream metadata does not validate"
xpath() { xmllint --xpath "$1" "$metainfo"; }
[ "$(xpath 'string(/component/id)')" = "$appstream_id" ] || fail "metainfo id differs from its file name"
[ "$(xpath 'string(/component/releases/release[1]/@version)')" = "$version" ] ||
    fail "metainfo's newest release is not $version"
launchables=$(xpath '/component/launchable[@type="desktop-id"]/text()' | LC_ALL=C sort)
[ "$launchables" = "$(printf '%s.desktop\n' "${programs[@]}")" ] ||
    fail "metainfo launches ${launchables//$'\n'/ }"
[ "$(xpath 'string(/component/icon[@type="stock"])')" = trackfold ] ||
    fail "metainfo does not name the icon trackfold"
for launchable in $launchables; do
    [ -f "$scratch/usr/share/applications/$launchable" ] || fail "no menu entry $launchable"
done

lintian --fail-on error,warning --suppress-tags "$deliberate_warnings" "$package" ||
    fail "lintian reports errors or warnings beyond: $deliberate_warnings"

echo "Package checked: $package"
