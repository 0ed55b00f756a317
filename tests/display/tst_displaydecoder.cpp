#include "DisplayDecoder.h"
#include "DisplayScripts.h"
#include "SerialLink.h"
#include "SetupCommands.h"

#include <QtTest>

// The decoder is fed what PoleSet's own builders put on the wire, so the two sides are checked
// against each other.

namespace {

QByteArray framed(const QString &payload)
{
    return hexTextToBytes(SetupFrame(payload));
}

QByteArray setupBytes(int item, int index, const QString &text = {})
{
    const QString payload = setupItemPayload(item, index, text);
    return hexTextToBytes(setupItemIsRaw(item) ? payload : SetupFrame(payload));
}

QByteArray raw(const DisplayScript &script, int count = -1)
{
    return hexTextToBytes(script.texts.mid(0, count).join(QString()));
}

QStringList run(DisplayDecoder &decoder, const QByteArray &bytes)
{
    decoder.feed(bytes);
    decoder.flush();
    return decoder.takeLog();
}

// The EEPROM as "emulation codePage inChar communication baud upper|lower", then the glass as
// "top|bottom row,column" and O(verwrite) or S(croll).
QString state(const DisplayDecoder &d)
{
    const DisplayEeprom &e = d.eeprom();
    return QString::asprintf("%d %d %d %d %d ", e.emulation, e.codePage, e.inChar, e.communication,
                             e.baud) +
           QString::fromLatin1(e.upperLine + '|' + e.lowerLine) + " / " + d.lineText(0) + '|' +
           d.lineText(1) +
           QString::asprintf(" %d,%d %c", d.cursorRow(), d.cursorColumn(),
                             d.mode() == DisplayDecoder::Mode::Scroll ? 'S' : 'O');
}

} // namespace

class TestDisplayDecoder : public QObject
{
    Q_OBJECT

private slots:
    // Bytes sent to a display that holds other values: the log (when given) and the whole state.
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("after");
        const auto row = [](const QString &name, const QByteArray &bytes, const QStringList &log,
                            const QString &shown = "| 0,0 O",
                            const QString &eeprom = "1 0 0 0 7 UP|LOW") {
            QTest::newRow(qPrintable(name)) << bytes << log << eeprom + " / " + shown;
        };
        row("list items, messages",
            setupBytes(SetupINChar, 15) + setupBytes(SetupCodePage, 2) +
                setupBytes(SetupEmulation, 0) + setupBytes(SetupCommunication, 5) +
                setupBytes(SetupBaud, 5) + setupBytes(SetupUpperLine, 0, "") +
                setupBytes(SetupLowerLine, 0, "ABC"),
            {"set-up: International Character User define", "set-up: Code Page PC850(Multilingual)",
             "code page PC850(Multilingual) is not drawn here: characters shown as PC437",
             "set-up: Command Emulation T3150-LC", "set-up: Communication O-7-1",
             "set-up: Baud rate 300bps", "set-up: Upper line \"\"", "set-up: Lower line \"ABC\""},
            "| 0,0 O", "0 2 15 5 5 |ABC");
        // The stored messages show until text reaches the glass; a set-up frame's FF does not.
        row("demo, closing, farewell",
            raw(runDemoTexts()) + framed(DemoCommand()) + framed(ClosingFrame()) +
                framed("1B40456E64206F66205365742121"),
            {"FF clear", "text: Demo....", "FF clear", "demo mode on", "set-up closed: Ready!",
             "farewell: End of Set!!"},
            "UP|LOW 0,0 O");
        // ESC @ leaves scroll mode; the other emulation's mode commands are ignored.
        const QString native = "scroll mode (native) ignored: the display is set to ESC/POS";
        row("ESC @, native ignored",
            raw(scrollScript(1), 1) + "HI" + raw(initScript()) + raw(scrollScript(0), 1),
            {"VT home", "scroll mode (ESC/POS)", "LF", "scroll mode (ESC/POS)", "text: HI",
             "ESC @ initialise", "VT home", native, "LF", native},
            "| 1,0 O");
        // A control byte after ESC or US starts something of its own; a FF before a STX
        // without ENQ was plain text after all.
        row("unknown bytes", QByteArray::fromHex("41 08 42 1B 78 1B 20 1F 05 1B 0C 02 41"),
            {"text: A", "unknown: 08", "text: B", "unknown: 1B 78", "unknown: 1B 20", "unknown: 1F",
             "unknown: 05", "unknown: 1B", "FF clear", "unknown: 02", "text: A"},
            "A| 0,1 O");
        // A frame cut by the next is dropped, and the payload is bounded: what follows the bound
        // is read afresh and the next frame seen.
        const QByteArray junk(10000, 'A');
        row("bad frames",
            QByteArray::fromHex("0C 02 05 42 39 03 02 05 03 0C 02 05 42") + "\f\x02\x05" + junk +
                setupBytes(SetupBaud, 5) + "\fOK" + QByteArray::fromHex("0C 02 05 50 37 03"),
            {"unknown set-up frame: 0C 02 05 42 39 03", "unknown set-up frame: 02 05 03",
             "unterminated set-up frame (4 bytes): 0C 02 05 42",
             "unterminated set-up frame (260 bytes): 0C 02 05" + QByteArray(" 41").repeated(257),
             "text: " + QByteArray(10000 - 257, 'A'), "set-up: Baud rate 300bps", "FF clear",
             "text: OK", "unknown set-up frame: 0C 02 05 50 37 03"},
            "| 0,0 O", "1 0 0 0 5 UP|LOW");
        row("resets",
            framed(resetItemPayload(ResetUpperLine)) + framed(resetItemPayload(ResetLowerLine)),
            {"reset: Clear upper line data message", "reset: Clear lower line data message"},
            "| 0,0 O", "1 0 0 0 7 |");
        row("page 0x80 PC437", raw(testPrintScript(), 11), {}, "ÇüéâäàåçêëèïîìÄÅ| 0,16 O");
        // Both drawn code pages, then a line break; a blank is text.
        row("page 0x80 Windows",
            setupBytes(SetupCodePage, 0) + setupBytes(SetupCodePage, 9) + "\f\x80 \x8a\r\nC",
            {"set-up: Code Page PC437(USA,Std-EUR)", "set-up: Code Page Windows code", "FF clear",
             "text: € Š", "CR", "LF", "text: C"},
            "€ Š|C 1,1 O", "1 9 0 0 7 UP|LOW");
        // A full bottom line stays in view until the next character scrolls it up.
        const QByteArray full = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
        const QByteArray scroll = raw(scrollScript(1), 1) + '\f';
        row("scroll full", scroll + full, {}, "0123456789ABCDEFGHIJ|KLMNOPQRSTUVWXYZabcd 1,20 S");
        // Overwrite wraps to the top, and LF from the bottom line goes up, column kept.
        row("overwrite", scroll + raw(overwriteScript(1), 1) + '\f' + full + "xy\r\nCD\nE", {},
            "xyE3456789ABCDEFGHIJ|CDMNOPQRSTUVWXYZabcd 0,3 O");
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, log);
        QFETCH(QString, after);
        const QByteArray before = setupBytes(SetupUpperLine, 0, "UP") +
                                  setupBytes(SetupLowerLine, 0, "LOW") + setupBytes(SetupBaud, 7) +
                                  setupBytes(SetupEmulation, 1);
        DisplayDecoder whole;
        run(whole, before);
        DisplayDecoder split = whole;
        const QStringList got = run(whole, bytes);
        if (!log.isEmpty())
            QCOMPARE(got, log);
        QCOMPARE(state(whole), after);

        // Byte by byte gives the same log and the same display as one block.
        QStringList splitLog;
        for (const char byte : bytes) {
            split.feed(QByteArrayView(&byte, 1));
            // The line going quiet between FF STX and ENQ must not settle the FF as plain text.
            if (byte == '\x02')
                split.flush();
            splitLog += split.takeLog();
        }
        QCOMPARE(splitLog + run(split, {}), got);
        QCOMPARE(state(split), after);
    }
};

QTEST_GUILESS_MAIN(TestDisplayDecoder)
#include "tst_displaydecoder.moc"
