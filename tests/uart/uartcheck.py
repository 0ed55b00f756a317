#!/usr/bin/python3
"""Reads the trace of the virtual PC's UART (tests/uart/vmlab.sh) and checks what PoleSet did
to the port: the line settings in force at every byte, how the window's steps switch RTS and
DTR, and the bytes of a whole --apply. Standard library only.

    uartcheck.py OUTDIR POLESET INI

OUTDIR holds uart.log and ttyS0.out of a run of tests/uart/guest.sh; POLESET is the program
(asked for the frames of INI with --dry-run); INI is the settings file the guest applied.
The steps are told apart by the numbers the guest writes to the UART's scratch register:
1 the window over the port adapter, 2 the --apply.
"""

import re
import statistics
import subprocess
import sys
from typing import NamedTuple

TRACE = re.compile(
    r"^\d+@(?P<t>\d+\.\d+):(?:"
    r"serial_update_parameters baudrate=(?P<baud>\d+) parity='(?P<parity>.)'"
    r" data=(?P<data>\d+) stop=(?P<stop>\d+)"
    r"|serial_write write addr 0x(?P<addr>[0-9a-fA-F]+) val 0x(?P<val>[0-9a-fA-F]+))\s*$")

THR, LCR, MCR, SCRATCH = 0, 3, 4, 7
LCR_DLAB = 0x80  # addresses 0 and 1 are the divisor while it is set
MCR_DTR, MCR_RTS = 0x01, 0x02

def frame(payload):
    return "0C0205%s03" % payload


def send(at, payload, closing_at):
    """One Send in a signature: the item frame at one line, the closing frame at another."""
    if at == closing_at:
        return "@%s [%s%s]" % (at, frame(payload), CLOSING)
    return "@%s [%s] @%s [%s]" % (at, frame(payload), closing_at, CLOSING)


# Step 1, the window over the port adapter (tst_endtoend realPort), as the sub-steps it marks:
# what each is, and the modem-line states (DTR digit, then RTS) with the line and the bytes sent
# in each. It opens at 9600,N,8,1 with no settings file; the guest's port keeps both lines at a
# close (-hupcl). Short RTS pulses at a re-open are measured, not part of the signature.
CLOSING = frame("0B5265616479" "21")
N96, N192, E96, O96 = "9600,N,8,1", "19200,N,8,1", "9600,E,7,1", "9600,O,8,1"
WINDOW_STEPS = {
    10: ("the first Send", "11 " + send(N96, "4330", N96)),
    11: ("Baud rate 19,200bps, ticked", "11 " + send(N96, "4237", N192)),
    12: ("Baud rate 9,600bps, ticked", "11 " + send(N192, "4230", N96)),
    13: ("Communication E-7-1, ticked", "11 " + send(N96, "5034", E96)),
    14: ("Communication O-8-1, ticked", "11 " + send(E96, "5035", O96)),
    15: ("Communication N-8-1, ticked", "11 " + send(O96, "5031", N96)),
    16: ("Baud rate 19,200bps, unticked", "11 " + send(N96, "4237", N96)),
    17: ("Communication E-7-1, unticked", "11 " + send(N96, "5034", N96)),
    18: ("Interface Set 19,200bps with Set, a Send", "11 " + send(N192, "5331", N192)),
    19: ("Interface Set with Cancel, a Send", "11 " + send(N192, "5332", N192)),
    20: ("Run Demo drops RTS before the demo command",
         "11 @%s [0C44656D6F2E2E2E2E0C] 10 [0C0205440803]" % N192),
    21: ("Baud rate 9,600bps, ticked, in the demo", "10 " + send(N192, "4230", N96)),
    22: ("Interface Set with Cancel in the demo, a Send", "10 " + send(N96, "5333", N96)),
    23: ("Stop Demo raises RTS before its text", "10 11 @%s [0C53746F702044454D4F21]" % N96),
    24: ("DSR off through the loopback bit: link down and back", "11 01 11"),
    25: ("the shut-down: the farewell, RTS off, then DTR off",
         "11 @%s [0C02051B40456E64206F6620536574212103] 10 00" % N96),
}
# Step 2, a whole poleset --apply: the display's line before the set-up (its --line).
APPLY_FROM = (4800, "O", 8, 1)


class Event(NamedTuple):
    kind: str    # "byte" (to the transmitter), "mcr" (DTR or RTS changed), "mark" (scratch)
    t: float     # host seconds
    value: int   # the byte, the modem-control value or the step number
    line: tuple  # (baud, parity, data bits, stop bits) in force
    dtr: bool
    rts: bool


def parse_line(text):
    """One trace line: ("line", t, (baud, parity, data, stop)), ("write", t, address, value),
    or None for anything else."""
    m = TRACE.match(text)
    if not m:
        return None
    if m["baud"]:
        return ("line", float(m["t"]),
                (int(m["baud"]), m["parity"], int(m["data"]), int(m["stop"])))
    return ("write", float(m["t"]), int(m["addr"], 16), int(m["val"], 16))


def events(lines):
    """The bytes, modem-line changes and step marks of a trace, each with the line settings
    and modem lines in force."""
    line, lcr, dtr, rts = None, 0, False, False
    out = []
    for parsed in filter(None, map(parse_line, lines)):
        if parsed[0] == "line":
            line = parsed[2]
            continue
        _, t, addr, value = parsed
        if addr == LCR:
            lcr = value
        elif addr == THR and not lcr & LCR_DLAB:
            out.append(Event("byte", t, value, line, dtr, rts))
        elif addr == MCR and (bool(value & MCR_DTR), bool(value & MCR_RTS)) != (dtr, rts):
            dtr, rts = bool(value & MCR_DTR), bool(value & MCR_RTS)
            out.append(Event("mcr", t, value, line, dtr, rts))
        elif addr == SCRATCH:
            out.append(Event("mark", t, value, line, dtr, rts))
    return out


def steps(evts):
    """Step number -> its events, the mark first; events before the first mark are dropped."""
    out, current = {}, None
    for e in evts:
        if e.kind == "mark":
            current = out.setdefault(e.value, [])
        if current is not None:
            current.append(e)
    return out


def pulses(step):
    """RTS switched on and back off (or off and back on) with no byte in between, as a re-open
    does: (the events without them, the pulses' lengths in ms)."""
    kept, lengths = [], []
    for e in step:
        if (e.kind == "mcr" and len(kept) > 1 and kept[-1].kind == "mcr"
                and (e.dtr, e.rts) == (kept[-2].dtr, kept[-2].rts) and e.dtr == kept[-1].dtr):
            lengths.append((e.t - kept.pop().t) * 1e3)
            continue
        kept.append(e)
    return kept, lengths


def signature(step, lines=False):
    """The modem-line states a step went through (DTR digit, then RTS) and the bytes sent in
    each, in hex, and with `lines` the line each run of bytes left at: "11 [0C41] 10 [0C42] 00",
    "11 @9600,N,8,1 [0C41] @19200,N,8,1 [0C42]"."""
    tokens, run, state, line = [], b"", None, None
    for e in step + [None]:
        if e and e.kind == "byte" and not (lines and e.line != line):
            run += bytes([e.value])
            continue
        if run:
            tokens.append("[%s]" % run.hex().upper())
            run = b""
        if e and e.kind == "byte":
            line, run = e.line, bytes([e.value])
            tokens.append("@" + setting_text(line))
        elif e and (e.dtr, e.rts) != state:
            state = (e.dtr, e.rts)
            tokens.append("%d%d" % state)
    return " ".join(tokens)


def setting_text(line):
    return "%d,%s,%d,%d" % line if line else "(none)"


def ini_line(ini_text):
    """The PC line a settings file sets up: (baud, parity, data bits, stop bits)."""
    values = dict(re.findall(r"^(\w+)=\s*(\S+)", ini_text, re.M))
    return (int(values["Baud"]), values["Parity"], int(values["BitLen"]), 1)


def apply_frames(dry_run_text):
    """The frames of a --dry-run, in order: (name, bytes)."""
    return [(m[1], bytes.fromhex(m[2]))
            for m in re.finditer(r"^\[\d+/\d+\] (.+?(?:, closing frame)?): ([0-9A-F ]+)$",
                                 dry_run_text, re.M)]


def expected_lines(count, target):
    """The line each of the frames of a whole set-up goes out at: every item at the line in
    force, its closing frame at the new one; the communication format (item 6) changes parity
    and data bits, the baud rate (item 7) the speed."""
    after_format = (APPLY_FROM[0],) + target[1:]
    order = [APPLY_FROM] * 11 + [after_format] * 2 + [target]
    return order if count == len(order) else None


def check_apply(step, frames, target):
    """Step 2: the frames went out whole, in order, each at the line the set-up implies."""
    sent = [e for e in step if e.kind == "byte"]
    want = b"".join(f for _, f in frames)
    got = bytes(e.value for e in sent)
    if got != want:
        return ["the set-up sent %d bytes that differ from its %d frames (%d bytes)" %
                (len(got), len(frames), len(want))]
    lines = expected_lines(len(frames), target)
    if lines is None:
        return ["the set-up has %d frames, not 14" % len(frames)]
    problems, at = [], 0
    for (name, frame), line in zip(frames, lines):
        wrong = {setting_text(e.line) for e in sent[at:at + len(frame)]} - {setting_text(line)}
        if wrong:
            problems.append("%s went out at %s, not %s" %
                            (name, ", ".join(sorted(wrong)), setting_text(line)))
        at += len(frame)
    return problems


def spacing(step, frames):
    """Byte spacing of the set-up: (median and largest gap in ms between the bytes of a frame,
    median gap in s between frames)."""
    sent = [e.t for e in step if e.kind == "byte"]
    if len(sent) != sum(len(f) for _, f in frames):
        return None
    inside, between, at = [], [], 0
    for _, frame in frames:
        times = sent[at:at + len(frame)]
        inside += [b - a for a, b in zip(times, times[1:])]
        if at:
            between.append(times[0] - sent[at - 1])
        at += len(frame)
    if not inside or not between:
        return None
    return statistics.median(inside) * 1e3, max(inside) * 1e3, statistics.median(between)


# Steps 3 and 4 over the USB adapter: QEMU's FTDI requests. Its driver's probe ends with 0x4009
# (latency timer), just before the device node is made; an open begins with 0x4000 (reset);
# 0x4001 sets the modem lines (bits 8 and 9 say which of DTR and RTS, bits 0 and 1 their states).
USB_TRACE = re.compile(
    r"^\d+@(?P<t>\d+\.\d+):usb_serial_(?:"
    r"handle_control .* got control 0x(?P<request>[0-9a-f]+), value 0x(?P<value>[0-9a-f]+)"
    r"|set_baud .* baud rate (?P<baud>\d+)"
    r"|set_data .* parity (?P<parity>.), data bits (?P<data>\d+), stop bits (?P<stop>\d+))\s*$")
USB_KEPT = (19200, "N", 8, 1)  # the window's line after its baud Send
USB_WINDOW = (send(N96, "4330", N96) + send(N96, "4237", N192) +
              " [0C44656D6F2E2E2E2E0C0C0205440803]" + send(N192, "5331", N192) +
              " [0C53746F702044454D4F21] [0C02051B40456E64206F6620536574212103]")


def usb_replugs(lines):
    """Step 3's replugs: the adapter's probes, each with the seconds from its end (the node is
    back) to the first open and the line the adapter was at before the next probe or the
    shut-down (DTR dropped); the lengths in ms of RTS pulses (on for less than 0.2 s); when step
    4 began."""
    step, line, rts, probes, pulses_ms = 0, [None] * 4, (0.0, False), [], []
    step4 = float("inf")
    for text in lines:
        usb, other = USB_TRACE.match(text), parse_line(text)
        if other and other[0] == "write" and other[2] == SCRATCH:
            step = other[3]
            step4 = other[1] if step == 4 else step4
        if not usb or step != 3:
            continue
        t, request = float(usb["t"]), int(usb["request"] or "0", 16)
        value = int(usb["value"] or "0", 16)
        if probes and probes[-1][2] is None and (
                request == 0x4009 or request == 0x4001 and value & 0x101 == 0x100):
            probes[-1][2] = tuple(line)
        if request == 0x4009:
            probes.append([t, None, None])
        elif request == 0x4000 and probes and probes[-1][1] is None:
            probes[-1][1] = t - probes[-1][0]
        elif usb["baud"]:
            line[0] = int(usb["baud"])
        elif usb["parity"]:
            line[1:] = usb["parity"], int(usb["data"]), int(usb["stop"])
        elif request == 0x4001 and value & 0x200:
            if rts[1] and not value & 2 and t - rts[0] < 0.2:
                pulses_ms.append((t - rts[0]) * 1e3)
            rts = (t, bool(value & 2))
    return [(d, at) for _, d, at in probes], pulses_ms, step4


def check_usb(outdir, lines, apply_frames_):
    """The USB steps: every replug re-opened within 2 s at the kept line; the window's bytes
    whole (nothing lost, repeated or left over from before a replug); the --apply pulled part-way
    sent a beginning of its frames and nothing after."""
    reopens, pulse_ms, step4 = usb_replugs(lines)
    results = [("USB: 10 replugs in the window, each re-opened within 2 s of the node's return "
                "at %s" % setting_text(USB_KEPT),
                ["%d replugs" % len(reopens)] * (len(reopens) != 10) +
                ["a re-open %s at %s" % ("never came" if d is None else "after %.2f s" % d,
                                         setting_text(at) if at else "(none)")
                 for d, at in reopens if d is None or d > 2 or at != USB_KEPT])]
    with open(outdir + "/usb.out") as f:
        reads = [(float(t), bytes.fromhex(h)) for t, h in (row.split() for row in f)]
    window = b"".join(d for t, d in reads if t < step4)
    pulled = b"".join(d for t, d in reads if t >= step4)
    want = bytes.fromhex(re.sub(r"@\S+|[\[\] ]", "", USB_WINDOW))
    results.append(("USB: the window's bytes, the Send after the replugs whole",
                    [] if window == want else ["got %s" % window.hex().upper()]))
    frames = b"".join(f for _, f in apply_frames_)
    results.append(("USB: --apply pulled part-way sent a beginning of its frames, then nothing",
                    [] if pulled and frames.startswith(pulled) and pulled != frames else
                    ["sent %d of %d bytes" % (len(pulled), len(frames))]))
    notes = []
    delays = sorted(d for d, _ in reopens if d is not None)
    if delays:
        notes.append("USB re-open after the device node is back: median %.2f s, worst %.2f s (%d)"
                     % (statistics.median(delays), delays[-1], len(delays)))
    if pulse_ms:
        notes.append("USB RTS pulses at a re-open in the demo: %s ms" %
                     ", ".join("%.2f" % t for t in pulse_ms))
    return results, notes


def check(outdir, poleset, ini):
    with open(outdir + "/uart.log", errors="replace") as f:
        lines = f.readlines()
    evts = events(lines)
    with open(outdir + "/ttyS0.out", "rb") as f:
        wire = f.read()
    with open(ini, encoding="latin-1") as f:
        target = ini_line(f.read())
    dry = subprocess.run([poleset, "--apply", ini, "--dry-run", "--line", setting_text(APPLY_FROM)],
                         capture_output=True, text=True, check=True).stdout
    frames = apply_frames(dry)
    by_step = steps(evts)
    results = []  # (what, problems)

    pulse_ms = []
    for number, (what, want) in WINDOW_STEPS.items():
        steady, lengths = pulses(by_step.get(number, []))
        pulse_ms += lengths
        got = signature(steady, lines=True)
        results.append(("window: %s (%s)" % (what, want), [] if got == want else
                        ["saw \"%s\"" % got if got else "step %d is missing" % number]))
    apply_step = by_step.get(2, [])
    results.append(("--apply: %d frames, each at the line the set-up implies" % len(frames),
                    check_apply(apply_step, frames, target)))
    traced = bytes(e.value for e in evts if e.kind == "byte")
    results.append(("the bytes that left ttyS0 are the ones the trace shows",
                    [] if wire == traced else
                    ["ttyS0.out has %d bytes, the trace %d" % (len(wire), len(traced))]))

    pulled_dry = subprocess.run([poleset, "--apply", ini, "--dry-run", "--line", N96],
                                capture_output=True, text=True, check=True).stdout
    usb_results, notes = check_usb(outdir, lines, apply_frames(pulled_dry))
    results += usb_results

    failed = 0
    for what, problems in results:
        print("uart-check: %s: %s" % (what, "ok" if not problems else "FAILED"))
        for p in problems:
            print("uart-check:   " + p)
        failed += bool(problems)
    for note in notes:
        print("uart-check: " + note)
    if pulse_ms:
        print("uart-check: 16550A RTS pulses at a re-open in the demo: %s ms" %
              ", ".join("%.2f" % t for t in pulse_ms))
    figure = spacing(apply_step, frames)
    if figure:
        baud, parity, data, stop = APPLY_FROM
        character = (1 + data + (parity != "N") + stop) / baud * 1e3
        print("uart-check: byte spacing of --apply: median %.2f ms, largest %.2f ms between the "
              "bytes of a frame, frames %.2f s apart (a character at %s lasts %.2f ms on a wire; "
              "the emulated UART sends at once, so this is PoleSet's own write-and-drain cycle)"
              % (figure + (setting_text(APPLY_FROM), character)))
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(check(*sys.argv[1:]))
