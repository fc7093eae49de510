#!/usr/bin/env bash
# Installs what is missing, builds Varnhold in Release and starts it in the current folder
# (the application folder, where it keeps Sets, Temp, Extract, Zips, Make and Split).
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts-common.sh"
install_missing
build_varnhold varnhold varnhold-cli
exec "$ROOT/build/apps/varnhold/varnhold" "$@"
