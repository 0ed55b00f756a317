"""Reads PoleSet over AT-SPI as a screen reader does: what each list says, which events a change
of item, a Send and a link drop send, and that the stepping arrows send none.

    atspi_check.py POLESET SIMULATOR   (inside a session bus, on an X display)
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

failures = []
events = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


def on_event(event):
    try:
        role = event.source.getRole()
        name = event.source.name
    except Exception:
        return
    events.append((event.type, role, name))


def pump(seconds, until=lambda: False):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not until():
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def find_app(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    return None


def descendants(root, role):
    return pyatspi.findAllDescendants(root, lambda o: o.getRole() == role)


def value(obj):
    try:
        return obj.queryValue().currentValue
    except NotImplementedError:
        return None


def notices():
    return [e[2] for e in events
            if e[0] == "object:state-changed:showing" and e[1] == pyatspi.ROLE_NOTIFICATION]


def main():
    poleset, simulator = (os.path.abspath(p) for p in sys.argv[1:3])
    work = tempfile.mkdtemp(prefix="atspi-check.")
    sim = subprocess.Popen([simulator, "--dir", work], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    link = os.path.join(work, "COM1")
    pump(10, lambda: os.path.islink(link))
    # Only a link to a pseudo-terminal: the program never reaches a real serial port here.
    if not os.readlink(link).startswith("/dev/pts/"):
        sim.kill()
        sys.exit(f"COM1 is not a pseudo-terminal: {os.readlink(link)}")
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    app = subprocess.Popen([poleset], cwd=work, env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    try:
        for kind in ("object:state-changed:showing", "object:property-change:accessible-name",
                     "object:property-change:accessible-value"):
            pyatspi.Registry.registerEventListener(on_event, kind)
        pump(15, lambda: find_app("poleset") is not None)
        frame = find_app("poleset")[0]
        # The link is up within a tick or two.
        pump(5, lambda: any(o.name == "Link to the display: up"
                            for o in descendants(frame, pyatspi.ROLE_IMAGE)))

        # Each list by its row and item, the item's index its value.
        lists = {o.name.split(":")[0]: o for o in descendants(frame, pyatspi.ROLE_COMBO_BOX)}
        expected = {"International Character": " U.S.A", "Code Page": " PC437(USA,Std-EUR)",
                    "Command Emulation": " T3150-LC", "Communication": " N-8-1",
                    "Baud rate": "  9,600bps"}
        for row, item in expected.items():
            check(f"list {row}", lists[row].name if row in lists else None, f"{row}: {item}")
            if row in lists:
                check(f"value of {row}", value(lists[row]), 0.0)

        # The picture row is one picture.
        images = [o.name for o in descendants(frame, pyatspi.ROLE_IMAGE)]
        check("pictures", images, ["Link to the display: up"])

        # The arrows step, unheard.
        events.clear()
        pump(1.6)
        check("events while the arrows step", events, [])

        # A new item renames the list first, then changes its value.
        emulation = lists["Command Emulation"]
        if value(emulation) is not None:
            emulation.queryValue().currentValue = 1.0
        pump(2, lambda: len(events) >= 2)
        check("a new item", [(e[0], e[2]) for e in events[:2]],
              [("object:property-change:accessible-name", "Command Emulation:  ESC/POS"),
               ("object:property-change:accessible-value", "Command Emulation:  ESC/POS")])

        # A Send is announced as it starts and when the link monitor says the outcome.
        events.clear()
        send = [o for o in descendants(frame, pyatspi.ROLE_PUSH_BUTTON) if o.name == "Send"][0]
        try:
            send.queryAction().doAction(0)
        except Exception:
            pass  # the reply comes after the send's waits
        pump(10, lambda: "Communication OK" in notices())
        check("heard on a Send", notices(), ["Now Sending", "Communication OK"])

        # The link dropping is announced, and so is its coming back.
        events.clear()
        sim.send_signal(signal.SIGTERM)
        sim.wait(5)
        pump(5, lambda: notices())
        check("heard on a link drop", notices(), ["Link to the display: down"])
    finally:
        app.send_signal(signal.SIGTERM)
        if sim.poll() is None:
            sim.send_signal(signal.SIGTERM)
        for process in (app, sim):
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
    for failure in failures:
        print("FAIL:", failure)
    print("atspi_check:", "failed" if failures else "passed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
