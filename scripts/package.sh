#!/usr/bin/env bash
# Builds the two programs in Release in build-package/ and makes the Debian
# package from them; prints the path of the .deb as its last line.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# dpkg-shlibdeps (dpkg-dev) works out the dependencies and needs file(1) to
# tell which installed files are programs.
ensure_packages "${base_packages[@]}" dpkg-dev file

build_dir="$repo_root/build-package"
build_tree "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTRACKFOLD_BENCH=OFF
rm -f "$build_dir"/trackfold_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)

packages=("$build_dir"/trackfold_*.deb)
if [ ${#packages[@]} -ne 1 ] || [ ! -f "${packages[0]}" ]; then
    echo "cpack made no single trackfold package in $build_dir" >&2
    exit 1
fi
echo "${packages[0]}"
