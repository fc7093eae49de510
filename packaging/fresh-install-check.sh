#!/usr/bin/env bash
# fresh-install-check.sh DEB [FOLDER]: installs the package with apt-get into a fresh Debian 12 made by debootstrap
# (minbase, in FOLDER, by default a new temporary folder) and checks what a user relies on after the install:
# the three programs answer --version, man shows varnhold-cli(1), the desktop's "Open with" list offers
# Varnhold for zip packages and xdg-mime can make it the default, and the package removes cleanly.
# Needs root (debootstrap, chroot, mount) and Debian's mirror; not part of test.sh.
set -euo pipefail
[ $# -ge 1 ] || { echo "Usage: $0 DEB [FOLDER]" >&2; exit 2; }
deb="$(realpath "$1")"
root="${2:-$(mktemp -d /var/tmp/varnhold-deb12.XXXXXX)}"
[ "$(id -u)" -eq 0 ] || { echo "$0: run as root (debootstrap and chroot)" >&2; exit 2; }
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
if [ ! -x "$root/usr/bin/apt-get" ]; then
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
inside() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    DEBIAN_FRONTEND=noninteractive /bin/bash -c "$1"; }
# man-db and desktop-file-utils come with any desktop install; minbase has neither.
inside "apt-get update -qq && apt-get install -y -qq man-db desktop-file-utils >/dev/null"
inside "apt-get install -y -qq /tmp/$(basename "$deb") >/dev/null"

version="$(dpkg-deb --field "$deb" Version)"
failures=0
check() { if inside "$2" >/dev/null 2>&1; then echo "ok: $1"; else echo "FAIL: $1" >&2; failures=$((failures + 1)); fi; }
for program in varnhold varnhold-cli varnhold-sfx; do
    check "$program --version" "[ \"\$($program --version)\" = \"$program $version\" ]"
done
check "man varnhold-cli" "MANWIDTH=80 man varnhold-cli | grep -q 'varnhold-cli - '"
check "Open with offers Varnhold for zip" \
    "grep -q '^application/zip=.*varnhold.desktop' /usr/share/applications/mimeinfo.cache"
check "xdg-mime makes it the default" \
    "xdg-mime default varnhold.desktop application/zip && [ \"\$(xdg-mime query default application/zip)\" = varnhold.desktop ]"
check "a package made and tested in the fresh system" \
    "cd /tmp && mkdir -p t/in && echo data > t/in/a.txt && varnhold-cli --app-folder /tmp/t/app build /tmp/t/a.zip /tmp/t/in && varnhold-cli --app-folder /tmp/t/app test /tmp/t/a.zip"
check "apt-get remove" "apt-get remove -y -qq varnhold && [ ! -e /usr/bin/varnhold ]"
[ $failures -eq 0 ] && echo "The package installs and works on a fresh Debian 12 ($root)." || exit 1
