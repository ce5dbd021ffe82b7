#!/usr/bin/env bash
# The kernel test stage: boots Debian's kernel in QEMU (TCG, one CPU) with an initramfs that
# holds busybox, the USB/IP tools, the kernel's USB, USB/IP and audio modules, this build's
# programs and their shared libraries, and the guest's test script. The guest exports the
# virtual device with qvdevice, attaches it through vhci-hcd and runs qvtool through the real
# kernel; its results come back on the serial console. Fails unless the guest's summary line
# says every step passed.
#
#   tests/kernel/run.sh BUILD_DIR
#
# QV_KERNEL_TIME_LIMIT: seconds the guest may run (default 480).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
limit=${QV_KERNEL_TIME_LIMIT:-480}
start=$SECONDS

packages=$("$here/fetch-guest-packages")
release=$(ls "$packages/root/lib/modules")
work="$build/kernel-test"
rm -rf "$work"
mkdir -p "$work/root"
root="$work/root"

# copy_with_libraries FILE DEST: the program and every shared library it loads (ldd), at the
# same paths as on this machine.
copy_with_libraries() {
    install -D -m 0755 "$1" "$root$2"
    ldd "$1" | grep -o '/[^ ]*' | while read -r lib; do
        [ -e "$root$lib" ] || install -D -m 0755 "$lib" "$root$lib"
    done
}

install -D -m 0755 "$packages/root/bin/busybox" "$root/bin/busybox"
copy_with_libraries "$packages/root/usr/sbin/usbip" /usr/sbin/usbip
copy_with_libraries "$build/bin/qvtool" /opt/qv/qvtool
copy_with_libraries "$build/bin/qvdevice" /opt/qv/qvdevice
install -m 0644 "$build/bin/Tesmora_K2DAC_v11.hex" "$root/opt/qv/"
install -D -m 0644 "$here/../../platform/libusb/70-qv4820-group.rules" "$root/opt/qv/70-qv4820-group.rules"
install -m 0755 "$here/guest-init" "$root/init"
install -m 0755 "$here/guest-steps" "$root/opt/qv/guest-steps"

# The modules the guest loads and those they need, from the kernel's own dependency list.
modules="kernel/drivers/usb/usbip/vhci-hcd.ko kernel/sound/usb/snd-usb-audio.ko"
deps="$packages/root/lib/modules/$release/modules.dep"
for m in $modules $(for m in $modules; do grep "^$m:" "$deps" | cut -d: -f2; done); do
    install -D -m 0644 "$packages/root/lib/modules/$release/$m" "$root/lib/modules/$release/$m"
done
busybox depmod -b "$root" "$release"

mkdir -p "$root/etc"
printf 'root:x:0:0:root:/root:/bin/sh\ntester:x:1000:1000:tester:/home/tester:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\nplugdev:x:46:\ntester:x:1000:\n' >"$root/etc/group"
mkdir -p "$root/home/tester" "$root/tmp" "$root/proc" "$root/sys" "$root/dev" "$root/run" "$root/var"
chown 1000:1000 "$root/home/tester"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.gz"
echo "initramfs: $(du -h "$work/initramfs.gz" | cut -f1), built in $((SECONDS - start)) s"

boot=$SECONDS
set +e
timeout --foreground "$limit" qemu-system-x86_64 -machine q35,accel=tcg -smp 1 -m 768 \
    -kernel "$packages/root/boot/vmlinuz-$release" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 quiet panic=-1" \
    -nographic -no-reboot -nic none -serial mon:stdio </dev/null | tee "$work/console.log"
qemu=${PIPESTATUS[0]}
set -e
echo "QEMU ran $((SECONDS - boot)) s (status $qemu); stage $((SECONDS - start)) s"
if [ "$qemu" -eq 124 ]; then
    echo "the guest did not finish within $limit s"
    exit 1
fi
summary=$(tr -d '\r' <"$work/console.log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n1)
if [ -z "$summary" ]; then
    echo "the guest printed no summary line"
    exit 1
fi
echo "guest: $summary"
[[ "$summary" == *" 0 failed" ]] && [[ "$summary" != "0 passed, "* ]]
