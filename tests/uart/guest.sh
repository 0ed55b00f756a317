# Runs inside the virtual PC (tests/uart/vmlab.sh), as root. Over the guest's own /dev/ttyS0:
# step 1, the window's Sends, demo, link monitor and shut-down; step 2, a whole poleset --apply of
# INI from 4800,O,8,1. Over its USB adapter, COM1 a by-id link: step 3, the window while the
# adapter is pulled and plugged back; step 4, an --apply during which it is pulled. Each step's
# number goes to the UART's scratch register first (the driver leaves it alone), so the trace
# shows where the step begins.
#   sh guest.sh BUILD INI
build=$1
ini=$2
mark() { printf "\\$(printf %03o "$1")" | dd of=/dev/port bs=1 seek=1023 conv=notrunc status=none; }
# The window (tst_endtoend realPort) takes its steps from POLESET_STEPS, separated by ";":
#   out PORT VALUE     writes the I/O port (1023: the UART's scratch register, a sub-step's
#                      number for the trace; 1020: its modem control)
#   send [LIST ROW] T  picks ROW of the list baud, format or chars, ticks "Set Communication after
#                      Sent data" (T 1) or not (0), waits for Send to show, presses it
#   ifset ROW set|cancel  Interface Set with its baud list at ROW, left with Set or Cancel
#   demo, stop         Run Demo, Stop Demo
#   link 1|0           waits for the link-up (down) look: Send shown, Test enabled (or neither)
#   open 1|0           waits for the port to be open (closed)
#   ask NAME           makes /mnt/out/NAME: the host unplugs (unplug-...) or plugs back (plug-...)
#   nofd               no descriptor of a USB adapter is held
# and the window is closed after the last. Each step of 1 goes after its own number 10..25.
window() { POLESET_STEPS="$1" "$build/tests/e2e/tst_endtoend" realPort; }
# Closing the port leaves DTR and RTS as they are, so only the program's own switching drops
# them at the shut-down (stty's own open raises both).
stty -F /dev/ttyS0 -hupcl
mark 1
window "out 1023 10;send 1;out 1023 11;send baud 7 1;out 1023 12;send baud 0 1;\
out 1023 13;send format 3 1;out 1023 14;send format 4 1;out 1023 15;send format 0 1;\
out 1023 16;send baud 7 0;out 1023 17;send format 3 0;\
out 1023 18;ifset 6 set;send chars 1 0;out 1023 19;ifset 5 cancel;send chars 2 0;\
out 1023 20;demo;out 1023 21;send baud 0 1;out 1023 22;ifset 6 cancel;send chars 3 0;\
out 1023 23;stop;out 1023 24;link 1;out 1020 26;link 0;out 1020 11;link 1;out 1023 25"
serial=$?
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
replugs=
for i in 0 1 2 3 4 5 6 7 8 9; do
    replugs="$replugs;ask unplug-$i;open 0;link 0;nofd;ask plug-$i;open 1"
done
mark 3
window "send 1;send baud 7 1;demo$replugs;send chars 1 0;stop;link 1"
usb=$?
mark 4
# Now and then the adapter's node is not back once the window has let it go: wait for it, and
# plug the adapter in once more when it does not come.
present() { i=0; while [ ! -e COM1 ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done; [ -e COM1 ]; }
present || { : >/mnt/out/unplug-again; sleep 1; : >/mnt/out/plug-again; present; }
"$build/src/poleset" --apply "$ini" --port COM1 --line 9600,N,8,1 &
sleep 7
: >/mnt/out/unplug-apply
wait $!
pulled=$?
: >/mnt/out/plug-apply
touch done
echo "uart-check: the window over ttyS0 $serial, poleset --apply $apply," \
    "the window over the adapter $usb, poleset --apply with the adapter pulled $pulled"
# For a failure: the port's lock files and what the driver said.
[ "$serial$apply$usb$pulled" = 0003 ] ||
    { ls -la /mnt/job /mnt/job/usb /dev/serial/by-id /dev/ttyUSB*; dmesg | tail -n 5; }
[ "$serial$apply$usb$pulled" = 0003 ]
