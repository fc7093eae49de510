#!/usr/bin/env bash
# Installs what is missing, builds Varnhold with its tests and runs every test under ctest.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts-common.sh"
install_missing
build_varnhold
export QT_QPA_PLATFORM=offscreen
cd "$ROOT/build"
ctest --output-on-failure -j 2 "$@"
