#!/bin/bash
# The Debian package on a bare machine: lintian on it, then it is installed with apt into a
# fresh minimal Debian 12 root (debootstrap, variant minbase) and used there: the demo update
# from /usr/bin, the window's libraries, the man pages, the bash completion in a
# non-interactive bash, the udev rule's place, and removal.
#
#   packaging/test-deb.sh PACKAGE.deb          (as root; make test-deb)
#
# The minimal root is made once and kept as a tarball in $QV_DEBIAN_CACHE (default
# /var/cache/fresh-debian); each run starts from a fresh copy of it. Packages the host has
# downloaded already (/var/cache/apt/archives) are not downloaded again.
# Exit status 0 when every check passed.
set -euo pipefail

[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: packaging/test-deb.sh PACKAGE.deb" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "Run as root: su -c 'make test-deb' (chroot and mount need it)" >&2; exit 2; }
deb=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
cache=${QV_DEBIAN_CACHE:-/var/cache/fresh-debian}
tarball=$cache/bookworm-minbase.tar

step() { echo "== $*"; }

step "lintian $(basename "$deb")"
lintian --fail-on error --info "$deb"

work=$(mktemp -d -t qv-test-deb.XXXXXX)
root=$work/root
mounts=()
cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$root" "$cache"

if [ ! -s "$tarball" ]; then
    mirror=$(grep -hE '^(URIs:|deb )' /etc/apt/sources.list.d/*.sources /etc/apt/sources.list \
                 2>/dev/null | grep -v security | grep -oE 'https?://[^ ]+' | head -1)
    step "making a minimal Debian 12 root from ${mirror:-deb.debian.org} (once; kept in $cache)"
    debootstrap --variant=minbase bookworm "$root" "${mirror:-http://deb.debian.org/debian}" \
        >"$work/debootstrap.log" 2>&1 || { tail -n 20 "$work/debootstrap.log"; exit 1; }
    tar -C "$root" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
else
    tar -C "$root" -xf "$tarball"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
for m in proc sys dev; do mkdir -p "$root/$m"; done
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounts+=("$root/sys")
mount --bind /dev "$root/dev" && mounts+=("$root/dev")
# The host's downloaded packages under the root's own archive folder, writable through an overlay.
archives=$root/var/cache/apt/archives
mkdir -p "$work/archives-upper" "$work/archives-work"
if mount -t overlay overlay -o "lowerdir=/var/cache/apt/archives,upperdir=$work/archives-upper,workdir=$work/archives-work" \
        "$archives" 2>/dev/null; then
    mounts+=("$archives")
fi
cp "$deb" "$root/tmp/"
cp "$here/test-deb-inside.sh" "$root/tmp/"

step "installing $(basename "$deb") and man-db with apt, then using them"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive /bin/bash /tmp/test-deb-inside.sh "/tmp/$(basename "$deb")" </dev/null
step "the package works on a fresh Debian"
