# Runs inside the virtual PC (tests/uart/vmlab.sh), as root, over the guest's own /dev/ttyS0:
# step 1, the window over the port adapter (tst_endtoend realUart); step 2, a whole
# poleset --apply of INI from 4800,O,8,1. Each step's number goes to the UART's scratch
# register first, which the driver leaves alone, so the trace shows where the step begins.
#   sh guest.sh BUILD INI
build=$1
ini=$2
mark() { printf "\\00$1" | dd of=/dev/port bs=1 seek=1023 conv=notrunc status=none; }
# Closing the port leaves DTR and RTS as they are, so only the program's own switching drops
# them at the shut-down (stty's own open raises both).
stty -F /dev/ttyS0 -hupcl
mark 1
"$build/tests/e2e/tst_endtoend" realUart
window=$?
mark 2
"$build/src/poleset" --apply "$ini" --port /dev/ttyS0 --line 4800,O,8,1
apply=$?
echo "uart-check: tst_endtoend realUart $window, poleset --apply $apply"
# For a failure: the port's lock files and what the driver said.
[ "$window$apply" = 00 ] || { ls -la /mnt/job; dmesg | tail -n 5; }
[ "$window" = 0 ] && [ "$apply" = 0 ]
