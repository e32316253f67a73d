#!/usr/bin/env bash
# Installs what is missing on a Debian 12 machine, builds the programs and
# starts one of them:
#   scripts/run.sh        songrig_en, the English program
#   scripts/run.sh nl     songrig_nl, the Dutch program
# Run it from the folder where the playlists belong: each press of Start
# writes into the "xml" folder of the current directory.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

language=${1:-en}
case $language in
    en | nl) ;;
    *)
        echo "usage: $0 [en|nl]" >&2
        exit 2
        ;;
esac

ensure_packages "${base_packages[@]}" qt6-qpa-plugins fonts-dejavu-core
build_tree "$repo_root/build-release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
exec "$repo_root/build-release/app/songrig_$language"
