# Shared by the scripts in this folder: installs what is missing from Debian's
# packages and builds the project. Source it; do not run it.

set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Packages every build needs; scripts add their own.
base_packages=(cmake ninja-build g++ qt6-base-dev)

# Flags of the second build, in which AddressSanitizer and
# UndefinedBehaviorSanitizer watch every test; any report ends the test.
sanitizer_flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
# Flags of the third build, in which ThreadSanitizer watches every test.
thread_sanitizer_flags="-fsanitize=thread -fno-omit-frame-pointer"

# Runs a command as root: through sudo when the script is not root already.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# build_tree DIR [cmake options...]: configures (once) and builds into DIR.
build_tree() {
    local dir=$1
    shift
    cmake -S "$repo_root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" --parallel "${TRACKFOLD_JOBS:-2}"
}
