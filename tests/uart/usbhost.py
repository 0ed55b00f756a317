#!/usr/bin/python3
"""The host's side of the virtual PC's USB adapter (tests/uart/vmlab.sh, VMLAB_HOST): holds its
far side, writing what arrives to OUTDIR/usb.out (one line per read: host time, hex), and
unplugs or plugs it back through QMP when the guest asks by making OUTDIR/share/unplug-NAME or
plug-NAME; each done is logged to OUTDIR/usbhost.log. Ends with the virtual PC.

    usbhost.py OUTDIR
"""

import json
import os
import select
import socket
import sys
import time


def connect(path, deadline=60):
    end = time.time() + deadline
    while True:
        try:
            s = socket.socket(socket.AF_UNIX)
            s.connect(path)
            return s
        except OSError:
            s.close()
            if time.time() > end:
                raise
            time.sleep(0.02)


def main(out):
    far = connect(out + "/usbser.sock")
    qmp = connect(out + "/qmp.sock").makefile("rw")
    qmp.readline()  # the greeting

    def command(name, **arguments):
        qmp.write(json.dumps({"execute": name, "arguments": arguments}) + "\n")
        qmp.flush()
        while True:  # events may come first
            answer = json.loads(qmp.readline())
            if "return" in answer or "error" in answer:
                return answer

    command("qmp_capabilities")
    done = set()
    with open(out + "/usb.out", "w") as wire, open(out + "/usbhost.log", "w") as log:
        while True:
            if select.select([far], [], [], 0.01)[0]:
                data = far.recv(4096)
                if not data:
                    return
                wire.write("%.6f %s\n" % (time.time(), data.hex().upper()))
                wire.flush()
            asked = sorted(set(os.listdir(out + "/share")) - done,
                           key=lambda n: os.stat(out + "/share/" + n).st_mtime)
            for name in asked:
                done.add(name)
                if name.startswith("unplug-"):
                    answer = command("device_del", id="ftdi0")
                elif name.startswith("plug-"):
                    answer = command("device_add", driver="usb-serial", id="ftdi0",
                                     bus="xhci.0", chardev="usbser")
                else:
                    continue
                log.write("%.6f %s %s\n" % (time.time(), name, "error" in answer and answer))
                log.flush()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    try:
        main(sys.argv[1])
    except (OSError, ValueError):
        pass  # the virtual PC has gone
