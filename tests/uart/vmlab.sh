#!/usr/bin/env bash
# Runs a command inside a small virtual PC whose /dev/ttyS0 is an emulated 16550A UART driven
# by the real Linux serial driver, so that what PoleSet asks of a serial port is seen as the
# UART sees it: every line-settings change, every register write and every byte, with times.
#
#   tests/uart/vmlab.sh OUTDIR COMMAND [ARG...]
#
# The guest boots the newest Debian kernel in /boot with this machine's root file system
# mounted read-only (9p), runs COMMAND as root in a fresh writable /mnt/job (tmpfs) with
# QT_QPA_PLATFORM=offscreen, then powers off. OUTDIR receives:
#   ttyS0.out   the bytes that left the guest's /dev/ttyS0 (its only UART)
#   uart.log    QEMU's trace of that UART: serial_update_parameters (baud, parity, data, stop
#               bits) and serial_write (register writes: addr 4 = modem control, bit 0 DTR,
#               bit 1 RTS; addr 7 = scratch), each line stamped with the host time
#   console.log the guest's console (the command's output is also printed here)
# The guest also has an FTDI USB serial adapter (QEMU's usb-serial on an xHCI controller, id
# ftdi0, the guest's ftdi_sio: /dev/ttyUSB0; no udev, so no /dev/serial/by-id link). Its far side
# is OUTDIR/usbser.sock (QEMU attaches it only while something is connected there), QEMU's
# monitor OUTDIR/qmp.sock (QMP: device_del / device_add unplug and plug it back), its requests
# (baud, data format, modem control) are in uart.log too, and the guest's /mnt/out is the
# writable OUTDIR/share. With VMLAB_HOST=CMD, `CMD OUTDIR` runs on this machine beside the guest.
# Exit status: the command's; 125 when the guest did not finish. Give the command absolute
# paths. Needs qemu-system-x86, linux-image-amd64, busybox-static and cpio (scripts/uart-check.sh
# installs them); no KVM: the PC is emulated, slow to compute but in real time. /dev/ttyS0 is
# opened only inside the guest, never on this machine.
set -euo pipefail
[ $# -ge 2 ] || { sed -n '2,25p' "$0"; exit 2; }
out=$(mkdir -p "$1" && cd "$1" && pwd); shift
kernel=$(ls -1 /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n 1 || true)
[ -n "$kernel" ] || { echo "vmlab: no kernel in /boot (install linux-image-amd64)" >&2; exit 125; }
kver=${kernel#/boot/vmlinuz-}
# A small initramfs of our own, built once per kernel: busybox, the virtio and 9p modules.
cache=${TMPDIR:-/var/tmp}/poleset-vmlab2-$kver
if [ ! -f "$cache/initrd.gz" ]; then
  rm -rf "$cache"; mkdir -p "$cache/root"/{bin,proc,sys,dev,host,lib/modules}
  cp /bin/busybox "$cache/root/bin/busybox"
  n=0
  for f in $(for m in virtio_pci virtio_console 9pnet_virtio 9p xhci_pci usbserial ftdi_sio; do
               /sbin/modprobe -S "$kver" --show-depends $m; done |
             awk '/^insmod/{print $2}' | awk '!seen[$0]++'); do
    n=$((n + 1)); b=$(basename "$f"); dst="$cache/root/lib/modules/$(printf %02d $n)-${b%.*}"
    case $f in *.xz) xz -dc "$f" >"$dst.ko" ;; *.zst) zstd -dcq "$f" >"$dst.ko" ;; *) cp "$f" "$dst.ko" ;; esac
  done
  cat >"$cache/root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
for m in /lib/modules/*.ko; do insmod "$m" 2>/dev/null; done
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000 host /host || echo "vmlab: no host root"
job=$(sed -n 's/.*vmlab=\([^ ]*\).*/\1/p' /proc/cmdline)
mount -t proc proc /host/proc; mount -t sysfs sys /host/sys; mount -t devtmpfs dev /host/dev
mount -t tmpfs job /host/mnt
mkdir -p /host/mnt/job /host/mnt/out; cp "/host$job" /host/mnt/job/.vmlab-job
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 out /host/mnt/out || echo "vmlab: no out share"
chroot /host /bin/sh /mnt/job/.vmlab-job >/dev/hvc0 2>&1
echo "vmlab: status $?" >/dev/hvc0
sync
poweroff -f
INIT
  chmod +x "$cache/root/init"
  (cd "$cache/root" && find . | cpio -o -H newc 2>/dev/null | gzip >"$cache/initrd.gz.new")
  mv "$cache/initrd.gz.new" "$cache/initrd.gz"
fi
job=$(mktemp /tmp/vmlab-job.XXXXXX)
trap 'rm -f "$job"' EXIT
chmod 644 "$job"
{
  echo 'export QT_QPA_PLATFORM=offscreen HOME=/mnt/job TMPDIR=/mnt/job XDG_RUNTIME_DIR=/mnt/job'
  echo 'chmod 700 /mnt/job; cd /mnt/job'
  printf '%q ' "$@"; echo
} >"$job"
rm -rf "$out"/ttyS0.out "$out"/uart.log "$out"/console.log "$out"/*.sock "$out/share"
mkdir -p "$out/share"
timeout 600 qemu-system-x86_64 -accel tcg -M pc -m 1024 -display none -net none -no-reboot \
  -monitor none -msg timestamp=on -qmp "unix:$out/qmp.sock,server=on,wait=off" \
  -kernel "$kernel" -initrd "$cache/initrd.gz" \
  -append "console=hvc0 panic=-1 rdinit=/init quiet usbcore.autosuspend=-1 vmlab=$job" \
  -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$out/share,mount_tag=out,security_model=none" \
  -device virtio-serial-pci -chardev "file,id=con,path=$out/console.log" -device virtconsole,chardev=con \
  -chardev "file,id=uart,path=$out/ttyS0.out" -serial chardev:uart \
  -device qemu-xhci,id=xhci -chardev "socket,id=usbser,path=$out/usbser.sock,server=on,wait=off" \
  -device usb-serial,id=ftdi0,bus=xhci.0,chardev=usbser \
  -trace serial_update_parameters -trace serial_write -trace 'usb_serial_*' \
  -D "$out/uart.log" >"$out/qemu.out" 2>&1 &
qemu=$!
# The host's side of the run (the adapter's far side, its plugging), when one is given.
host=""
if [ -n "${VMLAB_HOST:-}" ]; then $VMLAB_HOST "$out" & host=$!; fi
wait $qemu || true
[ -z "$host" ] || wait $host || echo "vmlab: the host side failed ($?)" >&2
tr '\r' '\n' <"$out/console.log" | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g' |
  grep -av '^vmlab: status\|^\[ *[0-9.]*\]\|^[. ]*$' || true
status=$(sed -n 's/^vmlab: status \([0-9]*\).*/\1/p' "$out/console.log" | tr -d '\r')
[ -n "$status" ] || { echo "vmlab: the guest did not finish (see $out/console.log, $out/qemu.out)" >&2; exit 125; }
exit "$status"
