"""The UART trace reader's own table: trace lines as QEMU writes them, and the checks over
short made-up traces with one fault each."""

import unittest

import uartcheck as uc

N8, E7, E7_19200 = (9600, "N", 8, 1), (9600, "E", 7, 1), (19200, "E", 7, 1)


def trace(*rows):
    """Trace lines from ("line", baud, parity, data) and (address, value) rows."""
    out = []
    for i, row in enumerate(rows):
        stamp = "4671@1796659642.%06d:" % (100 * i)
        if row[0] == "line":
            out.append(stamp + "serial_update_parameters baudrate=%d parity='%s' data=%d stop=1"
                       % row[1:])
        else:
            out.append(stamp + "serial_write write addr 0x%02x val 0x%02x" % row)
    return out


def text(s):
    return [(0, ord(c)) for c in s]


class ParseLine(unittest.TestCase):
    def test_table(self):
        rows = [
            ("4671@1796659642.601134:serial_update_parameters baudrate=19200 parity='E' "
             "data=7 stop=1", ("line", 1796659642.601134, (19200, "E", 7, 1))),
            ("4671@1796659642.601215:serial_write write addr 0x04 val 0x0b\n",
             ("write", 1796659642.601215, 4, 0x0B)),
            ("12@1.5:serial_write write addr 0x00 val 0xFF", ("write", 1.5, 0, 0xFF)),
            ("4671@1796659642.601215:serial_read read addr 0x05 val 0x60", None),
            ("serial_write write addr 0x04 val 0x0b", None),  # no stamp
            ("4671@1796659642.601215:serial_write write addr 0x04", None),  # cut short
            ("", None),
        ]
        for line, want in rows:
            with self.subTest(line=line):
                self.assertEqual(uc.parse_line(line), want)


class Events(unittest.TestCase):
    def test_bytes_carry_the_line_and_the_divisor_is_no_byte(self):
        evts = uc.events(trace(("line", 9600, "N", 8), (3, 0x83), (0, 0x0C), (1, 0x00),
                               (3, 0x1A), ("line", 9600, "E", 7), (0, 0x41),
                               (4, 0x0B), (4, 0x0B), (4, 0x09), (7, 2), (0, 0x42)))
        self.assertEqual([(e.kind, e.value, e.line, e.dtr, e.rts) for e in evts], [
            ("byte", 0x41, E7, False, False), ("mcr", 0x0B, E7, True, True),
            ("mcr", 0x09, E7, True, False), ("mark", 2, E7, True, False),
            ("byte", 0x42, E7, True, False)])

    def test_signatures(self):
        rows = [
            ("demo", [(4, 0x0B), (7, 2), (0, 1), (0, 2), (4, 0x09), (0, 3)],
             "11 [0102] 10 [03]"),
            ("RTS and DTR off at once", [(4, 0x0B), (7, 4), (0, 0xC), (4, 0x08), (4, 0x00)],
             "11 [0C] 00"),
            ("DTR before RTS", [(4, 0x0B), (7, 4), (0, 1), (4, 0x0A), (4, 0x08)],
             "11 [01] 01 00"),
            ("no change", [(4, 0x08), (7, 1), (4, 0x08)], "00"),
        ]
        for name, rows_, want in rows:
            with self.subTest(name):
                got = uc.steps(uc.events(trace(*rows_)))
                self.assertEqual(list(got), [rows_[1][1]])
                self.assertEqual(uc.signature(got[rows_[1][1]]), want)


    def test_lines_and_pulses(self):
        rows = trace((4, 0x09), (7, 5), ("line", 9600, "N", 8), (0, 1), (4, 0x0B), (4, 0x09),
                     ("line", 19200, "N", 8), (0, 2), (4, 0x0B), (0, 3), (4, 0x08))
        steady, lengths = uc.pulses(uc.steps(uc.events(rows))[5])
        self.assertEqual(uc.signature(steady, lines=True),
                         "10 @9600,N,8,1 [01] @19200,N,8,1 [02] 11 [03] 00")
        self.assertEqual([round(t, 3) for t in lengths], [0.1])


class Checks(unittest.TestCase):
    def test_apply(self):
        dry = "PC port at 9600,N,8,1\n" + "".join(
            "[%d/7] Item: 0C %02X\n[%d/7] Item, closing frame: 0C 03\n" % (n, n, n)
            + ("[%d/7] Item: PC port now at x\n" % n if n > 5 else "") for n in range(1, 8))
        frames = uc.apply_frames(dry)
        self.assertEqual(len(frames), 14)
        self.assertEqual(frames[1], ("Item, closing frame", b"\x0c\x03"))
        lines = uc.expected_lines(14, E7_19200)
        self.assertEqual(lines[10:], [uc.APPLY_FROM, (4800, "E", 7, 1), (4800, "E", 7, 1),
                                      E7_19200])

        def step(at):
            rows, current = [(7, 3)], None
            for (_, frame), line in zip(frames, at):
                if line != current:
                    rows.append(("line",) + line[:3])
                    current = line
                rows += [(0, b) for b in frame]
            return uc.steps(uc.events(trace(*rows)))[3]

        self.assertEqual(uc.check_apply(step(lines), frames, E7_19200), [])
        early = lines[:11] + [E7_19200] * 3  # the speed changed with the format
        self.assertEqual(uc.check_apply(step(early), frames, E7_19200),
                         ["Item, closing frame went out at 19200,E,7,1, not 4800,E,7,1",
                          "Item went out at 19200,E,7,1, not 4800,E,7,1"])
        self.assertEqual(len(uc.check_apply(step(lines)[:-1], frames, E7_19200)), 1)
        inside, largest, between = uc.spacing(step(lines), frames)
        self.assertAlmostEqual(inside, 0.1, places=3)
        self.assertAlmostEqual(between, 0.0001, places=5)

    def test_usb_replugs(self):
        def usb(t, what):
            return "5070@%.6f:usb_serial_%s" % (t, what)

        def replug(t, baud, reopen=True):
            probe = [usb(t, "handle_control dev 0:1 got control 0x4009, value 0x0")]
            return probe + [usb(t + 0.5, "handle_control dev 0:1 got control 0x4000, value 0x0"),
                            usb(t + 0.5, "set_data dev 0:1 parity N, data bits 8, stop bits 1"),
                            usb(t + 0.5, "set_baud dev 0:1 baud rate %d" % baud),
                            usb(t + 0.5, "handle_control dev 0:1 got control 0x4001, value 0x303"),
                            usb(t + 0.501, "handle_control dev 0:1 got control 0x4001, value 0x200")
                            ][:5 * reopen]

        def mark(t, n):
            return "5070@%.6f:serial_write write addr 0x07 val 0x%02x" % (t, n)

        lines = ([mark(1, 3)] + replug(2, 19200) + replug(4, 9600) +
                 [usb(8, "handle_control dev 0:1 got control 0x4001, value 0x100")] +
                 replug(9, 19200, reopen=False) + [mark(10, 4)] + replug(11, 19200))
        reopens, pulses, step4 = uc.usb_replugs(lines)
        self.assertEqual([(d and round(d, 3), at) for d, at in reopens],
                         [(0.5, uc.USB_KEPT), (0.5, (9600, "N", 8, 1)), (None, None)])
        self.assertEqual([round(t, 3) for t in pulses], [1.0, 1.0])
        self.assertEqual(step4, 10)

    def test_ini_line(self):
        self.assertEqual(uc.ini_line("PoleSet\nPort= 1\nBaud= 19200\nParity=E\nBitLen= 7\n"),
                         E7_19200)


if __name__ == "__main__":
    unittest.main()
