#!/usr/bin/env bash
# check-package.sh DEB: unpacks the Debian package into a scratch root and checks what a user installing it relies
# on. Prints each failed check and exits 1 when any failed.
set -uo pipefail
deb="$(realpath "$1")"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

version="$(sed -n 's/^project(Varnhold VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = varnhold ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "package version '$(field Version)' is not the project's $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture '$(field Architecture)'"
[ "$(basename "$deb")" = "varnhold_${version}_$(dpkg --print-architecture).deb" ] || fail "file name $(basename "$deb")"
# dpkg-shlibdeps writes versioned dependencies on the libraries the programs link; a list written by hand would
# miss the versions or a library.
depends="$(field Depends)"
for lib in "libc6 (>=" "libqt6widgets6 (>=" "libqt6core6 (>=" "libzip4 (>=" "libarchive13 (>=" "zlib1g (>="; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks '$lib': $depends"
done
info="$(dpkg-deb --info "$deb")"
grep -q "^ Depends: .*libqt6widgets6" <<<"$info" || fail "dpkg-deb --info lists no Depends"

dpkg -x "$deb" "$scratch"
usr="$scratch/usr"
expected=(
    bin/varnhold bin/varnhold-cli bin/varnhold-sfx
    share/applications/varnhold.desktop
    share/icons/hicolor/scalable/apps/varnhold.svg
    share/metainfo/com.brindlecot.varnhold.metainfo.xml
    share/man/man1/varnhold.1.gz share/man/man1/varnhold-cli.1.gz share/man/man1/varnhold-sfx.1.gz
    share/bash-completion/completions/varnhold-cli share/zsh/vendor-completions/_varnhold-cli
    share/doc/varnhold/copyright share/doc/varnhold/changelog.gz share/doc/varnhold/help/Varnhold.html
)
for size in 16 32 48 64 128; do expected+=("share/icons/hicolor/${size}x${size}/apps/varnhold.png"); done
for file in "${expected[@]}"; do
    [ -f "$usr/$file" ] || fail "the package lacks /usr/$file"
done
for program in varnhold varnhold-cli varnhold-sfx; do
    [ -x "$usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
    answer="$("$usr/bin/$program" --version 2>&1)"
    [ "$answer" = "$program $version" ] || fail "$program --version says '$answer', not '$program $version'"
done
# Each hicolor PNG has the size of the folder it is in (the PNG header's width and height).
for size in 16 32 48 64 128; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/varnhold.png"
    [ -f "$png" ] || continue
    read -r w h < <(python3 -c 'import struct,sys; print(*struct.unpack(">II", open(sys.argv[1],"rb").read(24)[16:24]))' "$png")
    [ "$w x $h" = "$size x $size" ] || fail "${size}x${size}/apps/varnhold.png is $w x $h"
done

desktop-file-validate "$usr/share/applications/varnhold.desktop" || fail "desktop-file-validate"
grep -q '^MimeType=application/zip;application/x-zip-compressed;$' "$usr/share/applications/varnhold.desktop" \
    || fail "the desktop file does not declare both zip types"
appstreamcli validate --no-net --explain "$usr/share/metainfo/com.brindlecot.varnhold.metainfo.xml" >/dev/null \
    || fail "appstreamcli validate"
grep -q '<launchable type="desktop-id">varnhold.desktop</launchable>' \
    "$usr/share/metainfo/com.brindlecot.varnhold.metainfo.xml" || fail "the metainfo does not launch varnhold.desktop"
zcat "$usr/share/doc/varnhold/changelog.gz" | sed -n 1p | grep -q "^varnhold ($version)" \
    || fail "the changelog's last entry is not version $version"

for page in varnhold varnhold-cli varnhold-sfx; do
    file="$usr/share/man/man1/$page.1.gz"
    [ -f "$file" ] || continue
    shown="$(MANWIDTH=80 man -l "$file" 2>/dev/null)"
    grep -q "^NAME" <<<"$shown" || fail "man -l $page.1 shows no NAME section"
done
bash -c 'source "$1" && complete -p varnhold-cli' _ "$usr/share/bash-completion/completions/varnhold-cli" \
    >/dev/null 2>&1 || fail "the bash completion does not register for varnhold-cli"

# lintian: errors fail the check; warnings are listed for the release notes.
if command -v lintian >/dev/null; then
    lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"
else
    fail "lintian is not installed"
fi

if [ $failures -gt 0 ]; then
    echo "$failures package checks failed" >&2
    exit 1
fi
echo "The package $(basename "$deb") passed every check."
