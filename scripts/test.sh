#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test three times: in build/,
# in build-asan/ under AddressSanitizer and UndefinedBehaviorSanitizer, and in
# build-tsan/ under ThreadSanitizer; then makes the Debian package in
# build-package/ and checks it. All test builds treat warnings as errors;
# build/ also compiles the benchmark so that a change cannot break it unnoticed.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# The window tests measure texts in DejaVu Sans, the font the window asks for,
# and check the menu entries with desktop-file-validate. libfuse3's headers let
# build/ compile the benchmark's slow medium too.
ensure_packages "${base_packages[@]}" fonts-dejavu-core desktop-file-utils libfuse3-dev \
    pkg-config

export QT_QPA_PLATFORM=offscreen

build_tree "$repo_root/build" -DCMAKE_BUILD_TYPE=Debug -DTRACKFOLD_WERROR=ON \
    -DTRACKFOLD_BENCH=ON
ctest --test-dir "$repo_root/build" --output-on-failure -j2

build_tree "$repo_root/build-asan" -DCMAKE_BUILD_TYPE=Debug \
    -DTRACKFOLD_WERROR=ON -DTRACKFOLD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$sanitizer_flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizer_flags"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$repo_root/build-asan" --output-on-failure -j2

build_tree "$repo_root/build-tsan" -DCMAKE_BUILD_TYPE=Debug \
    -DTRACKFOLD_WERROR=ON -DTRACKFOLD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$thread_sanitizer_flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$thread_sanitizer_flags"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$repo_root/scripts/tsan.supp" \
    ctest --test-dir "$repo_root/build-tsan" --output-on-failure -j2

"$repo_root/scripts/check-package.sh"
