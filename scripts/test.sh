#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${base_packages[@]}"

build_tree "$repo_root/build" -DCMAKE_BUILD_TYPE=Debug
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$repo_root/build" --output-on-failure -j"$(nproc)"
