#!/usr/bin/env bash
# Installs what is missing, builds Varnhold with its tests and runs every test under ctest; then builds the core
# alone (build-core/, the UI switched off) and runs the core tests there too.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts-common.sh"
install_missing
build_varnhold
export QT_QPA_PLATFORM=offscreen
cd "$ROOT/build"
ctest --output-on-failure -j 2 "$@"
build_core
cd "$ROOT/build-core"
ctest --output-on-failure -j 2 "$@"
