# Runs inside the virtual PC (tests/uart/vmlab.sh), as root, over the guest's own /dev/ttyS0:
# step 1, the window over the port adapter (tst_endtoend realUart); step 2, a whole
# poleset --apply of INI from 4800,O,8,1. Then over the USB adapter, COM1 a by-id link: step 3,
# the window while the adapter is pulled and plugged back (tst_endtoend realUsb); step 4, an
# --apply during which it is pulled. Each step's number goes to the UART's scratch register
# first, which the driver leaves alone, so the trace shows where the step begins.
#   sh guest.sh BUILD INI
build=$1
ini=$2
mark() { printf "\\$(printf %03o "$1")" | dd of=/dev/port bs=1 seek=1023 conv=notrunc status=none; }
# Closing the port leaves DTR and RTS as they are, so only the program's own switching drops
# them at the shut-down (stty's own open raises both).
stty -F /dev/ttyS0 -hupcl
mark 1
"$build/tests/e2e/tst_endtoend" realUart
window=$?
mark 2
"$build/src/poleset" --apply "$ini" --port /dev/ttyS0 --line 4800,O,8,1
apply=$?

# In udev's place: the by-id link follows the adapter's node (shell built-ins: a slow loop
# would miss a short unplug).
link=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART-if00-port0
mkdir -p /dev/serial/by-id /mnt/job/usb
linked=
while [ ! -e /mnt/job/usb/done ]; do
    node=
    for n in /dev/ttyUSB*; do [ -e "$n" ] && node=${n#/dev/}; break; done
    if [ "$node" != "$linked" ]; then
        rm -f $link
        [ -z "$node" ] || ln -s "../../$node" $link
        linked=$node
    fi
    sleep 0.02
done &
while [ ! -e $link ]; do sleep 0.1; done
cd /mnt/job/usb && ln -s $link COM1
mark 3
"$build/tests/e2e/tst_endtoend" realUsb
usb=$?
mark 4
"$build/src/poleset" --apply "$ini" --port COM1 --line 9600,N,8,1 &
sleep 7
: >/mnt/out/unplug-apply
wait $!
pulled=$?
: >/mnt/out/plug-apply
touch done
echo "uart-check: tst_endtoend realUart $window, poleset --apply $apply," \
    "tst_endtoend realUsb $usb, poleset --apply with the adapter pulled $pulled"
# For a failure: the port's lock files and what the driver said.
[ "$window$apply$usb$pulled" = 0003 ] ||
    { ls -la /mnt/job /mnt/job/usb /dev/serial/by-id /dev/ttyUSB*; dmesg | tail -n 5; }
[ "$window$apply$usb$pulled" = 0003 ]
