#!/bin/bash
# The Debian package on a bare machine: lintian on it, then it is installed with apt into a
# fresh minimal Debian 12 root (debootstrap, variant minbase) and used there: the demo update
# from /usr/bin, the window's libraries, the man pages, the bash completion in a
# non-interactive bash, the udev rule's place, and removal.
#
#   packaging/test-deb.sh PACKAGE.deb          (as root; make test-deb)
#
# The minimal root is made once and kept as a tarball in $QV_DEBIAN_CACHE (default
# /var/cache/fresh-debian); each run starts from a fresh copy of it and fetches the package's
# dependencies from the host's Debian mirror.
# Exit status 0 when every check passed.
set -euo pipefail

[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: packaging/test-deb.sh PACKAGE.deb" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "Run as root: su -c 'make test-deb' (chroot and mount need it)" >&2; exit 2; }
deb=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
cache=${QV_DEBIAN_CACHE:-/var/cache/fresh-debian}
tarball=$cache/bookworm-minbase.tar

step() { echo "== [$SECONDS s] $*"; }

step "lintian $(basename "$deb")"
lintian --fail-on error --info "$deb"

work=$(mktemp -d -t qv-test-deb.XXXXXX)
root=$work/root
mounts=()
cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" 2>/dev/null || true; done
    # Never into the host's /dev, /proc or /sys, should one of them still be mounted here.
    for m in "${mounts[@]}"; do
        if mountpoint -q "$m"; then echo "still mounted: $m; $work left in place" >&2; return; fi
    done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
# The root lives in memory: unpacking and removing a thousand small files stays quick.
mount -t tmpfs -o size=4G tmpfs "$work" && mounts+=("$work")
mkdir -p "$root" "$cache"

if [ ! -s "$tarball" ]; then
    mirror=$(grep -hsE '^(URIs:|deb )' /etc/apt/sources.list.d/*.sources /etc/apt/sources.list |
                 grep -v security | grep -oE 'https?://[^ ]+' | head -1) || true
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
cp "$deb" "$root/tmp/"
cp "$here/test-deb-inside.sh" "$root/tmp/"

step "installing $(basename "$deb") and man-db with apt, then using them"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive /bin/bash /tmp/test-deb-inside.sh "/tmp/$(basename "$deb")" </dev/null
step "the package works on a fresh Debian"
