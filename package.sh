#!/usr/bin/env bash
# Installs what is missing, builds Varnhold (build/) and makes the Debian package varnhold_<version>_<arch>.deb in
# the project folder with cpack. With --check it then checks the package (packaging/check-package.sh): the files it
# installs, its dependencies, the desktop file, the metainfo, the manual pages and lintian.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts-common.sh"
check=0
for arg in "$@"; do
    case "$arg" in
        --check) check=1 ;;
        *) echo "Usage: ./package.sh [--check]" >&2; exit 2 ;;
    esac
done
install_missing
install_missing "${VARNHOLD_PACKAGING_PACKAGES[@]}"
build_varnhold
rm -rf "$ROOT/build/package"
(cd "$ROOT/build" && cpack -G DEB -B "$ROOT/build/package" >/dev/null)
debs=("$ROOT"/build/package/varnhold_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package.sh: cpack made no single .deb" >&2; exit 1; }
cp "${debs[0]}" "$ROOT/"
deb="$ROOT/$(basename "${debs[0]}")"
echo "Made $deb"
if [ $check -eq 1 ]; then
    "$ROOT/packaging/check-package.sh" "$deb"
fi
