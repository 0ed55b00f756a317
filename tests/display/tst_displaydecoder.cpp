#include "DisplayDecoder.h"
#include "DisplayScripts.h"
#include "SerialLink.h"
#include "SetupCommands.h"
#include "SetupLists.h"

#include <QtTest>

// The decoder is fed what PoleSet's own builders put on the wire, so the two sides are checked
// against each other.

Q_DECLARE_METATYPE(LineFormat)

namespace {

QByteArray setupBytes(int item, int index, const QString &text = {})
{
    const QByteArray payload = setupItemPayload(item, index, text);
    return setupItemIsRaw(item) ? payload : SetupFrame(payload);
}

QByteArray raw(const DisplayScript &script, int count = -1)
{
    return script.texts.mid(0, count).join();
}

QStringList run(DisplayDecoder &decoder, const QByteArray &bytes)
{
    decoder.feed(bytes);
    decoder.flush();
    return decoder.takeLog();
}

// The EEPROM as "emulation codePage inChar communication baud upper|lower", then the glass as
// "top|bottom row,column" and each line's O(verwrite) or S(croll).
QString state(const DisplayDecoder &d)
{
    const DisplayEeprom &e = d.eeprom();
    const auto mode = [&d](int row) { return "OS"[d.mode(row) == DisplayDecoder::Mode::Scroll]; };
    return QString::asprintf("%d %d %d %d %d %s|%s / ", e.emulation, e.codePage, e.inChar,
                             e.communication, e.baud, e.upperLine.data(), e.lowerLine.data()) +
           d.lineText(0) + '|' + d.lineText(1) +
           QString::asprintf(" %d,%d %c%c", d.cursorRow(), d.cursorColumn(), mode(0), mode(1));
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
                            const QString &shown = "| 0,0 OO",
                            const QString &eeprom = "1 0 0 0 7 UP|LOW") {
            QTest::newRow(qPrintable(name)) << bytes << log << eeprom + " / " + shown;
        };
        // The line follows the display's format only after this block: Communication last.
        row("list items, messages",
            setupBytes(SetupINChar, 15) + setupBytes(SetupCodePage, 2) +
                setupBytes(SetupEmulation, 0) + setupBytes(SetupUpperLine, 0, "") +
                setupBytes(SetupLowerLine, 0, "ABC") + setupBytes(SetupBaud, 7) +
                setupBytes(SetupCommunication, 5),
            {"set-up: International Character User define",
             "international character set User define is not drawn here: characters shown as "
             "U.S.A",
             "set-up: Code Page PC850(Multilingual)", "set-up: Command Emulation T3150-LC",
             "set-up: Upper line \"\"", "set-up: Lower line \"ABC\"", "set-up: Baud rate 19,200bps",
             "set-up: Communication O-7-1"},
            "| 0,0 OO", "0 2 15 5 7 |ABC");
        // The stored messages show until text reaches the glass; a set-up frame's FF does not.
        row("demo, closing, farewell",
            raw(runDemoTexts()) + SetupFrame(DemoCommand()) + SetupFrame(ClosingFrame()) +
                SetupFrame("\x1b@End of Set!!"),
            {"FF clear", "text: Demo....", "FF clear", "demo mode on", "set-up closed: Ready!",
             "farewell: End of Set!!"},
            "UP|LOW 0,0 OO");
        const QString native =
            "scroll mode (native), %1 line ignored: the display is set to ESC/POS";
        row("ESC @, native ignored",
            raw(scrollScript(1), 1) + "HI" + raw(initScript()) + raw(scrollScript(0), 1),
            {"VT home", "scroll mode (ESC/POS), upper line", "LF",
             "scroll mode (ESC/POS), lower line", "text: HI", "ESC @ initialise", "VT home",
             native.arg("upper"), "LF", native.arg("lower")},
            "| 1,0 OO");
        // A control byte after ESC or US starts something of its own; a FF before a STX
        // without ENQ was plain text after all.
        row("unknown bytes", QByteArray::fromHex("41 08 42 1B 78 1B 20 1F 7A 1F 05 1B 0C 02 41"),
            {"text: A", "unknown: 08", "text: B", "unknown: 1B 78", "unknown: 1B 20",
             "unknown: 1F 7A", "unknown: 1F", "unknown: 05", "unknown: 1B", "FF clear",
             "unknown: 02", "text: A"},
            "A| 0,1 OO");
        // A frame cut by the next is dropped, and the payload is bounded: what follows the bound
        // is read afresh and the next frame seen. Then both messages are cleared.
        const QByteArray junk(10000, 'A');
        row("bad frames",
            QByteArray::fromHex("0C 02 05 42 39 03 02 05 03 0C 02 05 42") + "\f\x02\x05" + junk +
                setupBytes(SetupCodePage, 9) + "\fOK" + QByteArray::fromHex("0C 02 05 50 37 03") +
                SetupFrame(resetItemPayload(ResetUpperLine)) +
                SetupFrame(resetItemPayload(ResetLowerLine)),
            {"unknown set-up frame: 0C 02 05 42 39 03", "unknown set-up frame: 02 05 03",
             "unterminated set-up frame (4 bytes): 0C 02 05 42",
             "unterminated set-up frame (260 bytes): 0C 02 05" + QByteArray(" 41").repeated(257),
             "text: " + QByteArray(10000 - 257, 'A'), "set-up: Code Page Windows code", "FF clear",
             "text: OK", "unknown set-up frame: 0C 02 05 50 37 03",
             "reset: Clear upper line data message", "reset: Clear lower line data message"},
            "| 0,0 OO", "1 9 0 0 7 |");
        // Scroll mode is horizontal in both emulations: a line too long moves left, the other
        // line stays; LF goes on at the other line's start.
        const QByteArray full = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
        for (const int emulation : {0, 1})
            row(QStringLiteral("scroll %1").arg(emulation),
                setupBytes(SetupEmulation, emulation) + raw(scrollScript(emulation)) + "\r\n" +
                    full + "\nX",
                {}, "Xcroll|KLMNOPQRSTUVWXYZabcd 0,1 SS",
                QStringLiteral("%1 0 0 0 7 UP|LOW").arg(emulation));
        // Each line keeps its own mode: the command after VT sets the upper line's, after LF the
        // lower's. A full line in overwrite mode wraps on to the other line.
        row("upper line scrolls", raw(scrollScript(1)).left(3) + '\n' + full + "\nX", {},
            "KLMNOPQRSTUVWXYZabcd|X123456789ABCDEFGHIJ 1,1 SO");
        row("lower line scrolls", raw(scrollScript(1)).mid(3) + '\v' + full, {},
            "0123456789ABCDEFGHIJ|KLMNOPQRSTUVWXYZabcd 1,20 OS");
        // Leaving scroll mode past a line's end wraps as overwrite does.
        row("scroll, then overwrite", raw(scrollScript(1)) + '\f' + full + "\x1f\x01Y", {},
            "KLMNOPQRSTUVWXYZabcd|Y 1,1 OS");
        row("e-mail screen", raw(testPrintScript(), 4), {}, "e-mail:|help@vantor-qs.test 1,19 OO");
        // Overwrite wraps to the top, and LF from the bottom line goes up, column kept.
        row("overwrite", raw(overwriteScript(1), 1) + '\f' + full + "xy\r\nCD\nE", {},
            "xyE3456789ABCDEFGHIJ|CDMNOPQRSTUVWXYZabcd 0,3 OO");
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, log);
        QFETCH(QString, after);
        DisplayDecoder whole;
        whole.setEeprom({1, 0, 0, 0, 7, "UP", "LOW"});
        whole.setLine(listeningFormat(whole.eeprom()));
        DisplayDecoder split = whole;
        const QStringList got = run(whole, bytes);
        if (!log.isEmpty())
            QCOMPARE(got, log);
        QCOMPARE(state(whole), after);

        // Byte by byte gives the same log and the same display as one block.
        for (const char byte : bytes) {
            split.feed(QByteArrayView(&byte, 1));
            // The line going quiet between FF STX and ENQ must not settle the FF as plain text.
            if (byte == '\x02')
                split.flush();
        }
        QCOMPARE(run(split, {}), got);
        QCOMPARE(state(split), after);
    }

    // A line in another speed, parity or data bits: noise on the glass, nothing obeyed, one log
    // line with both formats; in the display's own format again, it understands again.
    void noise_data()
    {
        QTest::addColumn<LineFormat>("line");
        QTest::addColumn<QString>("sent");
        QTest::newRow("speed") << LineFormat{9600, 'N', 8} << "9,600bps N-8-1";
        QTest::newRow("parity") << LineFormat{19200, 'E', 8} << "19,200bps E-8-1";
        QTest::newRow("data bits") << LineFormat{19200, 'N', 7} << "19,200bps N-7-1";
    }
    void noise()
    {
        QFETCH(LineFormat, line);
        QFETCH(QString, sent);
        DisplayDecoder d;
        run(d, setupBytes(SetupBaud, 7));
        const QByteArray bytes =
            setupBytes(SetupINChar, 1) + setupBytes(SetupEmulation, 1) + raw(scrollScript(1)) + "A";
        d.setLine(line);
        QCOMPARE(run(d, bytes), QStringList("not understood, sent at " + sent +
                                            " while the display listens at 19,200bps N-8-1: " +
                                            bytes.toHex(' ').toUpper()));
        QCOMPARE(state(d).left(14), "0 0 0 0 7 | / ");
        const QByteArray glass = QByteArray(d.lineBytes(0) + d.lineBytes(1)).replace(' ', "");
        // One stray glyph of the upper half a byte: negative as a char.
        QVERIFY(glass.size() == bytes.size() && *std::max_element(glass.begin(), glass.end()) < 0);

        d.setLine(listeningFormat(d.eeprom()));
        run(d, bytes);
        QCOMPARE(state(d), "1 0 1 0 7 | / Scroll" + QString(12, ' ') + "A| 0,19 SS");
    }

    // The glass after a set-up frame for a national set (the twelve code points it replaces)
    // or a code page (0x7F and a few codes of the upper half), in both emulations.
    void glyphs_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        const QByteArray national = "#$@[\\]^`{|}~";
        const QStringList sets = {"#$@[\\]^`{|}~", "#$à°ç§^`éùè¨", "#$§ÄÖÜ^`äöüß",  "£$@[\\]^`{|}~",
                                  "#$@ÆØÅ^`æøå~",  "#¤ÉÄÖÅÜéäöåü", "#$@°\\é^ùàòèì", "₧$@¡Ñ¿^`¨ñ}~",
                                  "#$@[¥]^`{|}~",  "#¤ÉÆØÅÜéæøåü", "#$ÉÆØÅÜéæøåü"};
        for (int set = 0; set < 16; ++set)
            QTest::newRow(qPrintable("set " + INChrItems[set].trimmed()))
                << setupBytes(SetupINChar, set) << national << sets.value(set, national);
        const QByteArray upper = "\x7f\x84\x9b\xa4\xb1\xd5\xe0";
        const QStringList pages = {"⌂ä¢ñ▒╒α", "   ､ｱﾕ",  "⌂äøñ▒ıÓ", "⌂ã¢ñ▒╒α", "⌂Â¢¨▒╒α",
                                   "⌂äøñ▒╒α", "⌂äŤĄ▒ŇÓ", "⌂ДЫд▒╒р", "⌂äøñ▒€Ó", " „›¤±Õà"};
        for (int page = 0; page < 10; ++page)
            QTest::newRow(qPrintable("page " + CodePageItems[page].trimmed()))
                << setupBytes(SetupCodePage, page) << upper << pages[page];
    }
    void glyphs()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        for (const int emulation : {0, 1}) {
            DisplayDecoder d;
            run(d, setupBytes(SetupEmulation, emulation) + frame + '\f' + bytes);
            QCOMPARE(d.lineText(0), shown);
        }
    }

    // The display's own tables check PoleSet's: every item of PoleSet's lists is understood as
    // what the list says, and a table one code off either way (as a wrong entry would make it)
    // is caught: each of its frames means another item to the display, or nothing. One past the
    // list, nothing is sent.
    void poleSetTables_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("row");
        QTest::newRow("INChar") << int(SetupINChar) << INChrItems << "International Character";
        QTest::newRow("CodePage") << int(SetupCodePage) << CodePageItems << "Code Page";
        QTest::newRow("Emulation") << int(SetupEmulation) << EmulationItems << "Command Emulation";
        QTest::newRow("Communication")
            << int(SetupCommunication) << CommunicationItems << "Communication";
        QTest::newRow("Baud") << int(SetupBaud) << BaudItems << "Baud rate";
    }
    void poleSetTables()
    {
        QFETCH(int, item);
        QFETCH(QStringList, items);
        QFETCH(QString, row);
        for (int index = 0; index < items.size(); ++index) {
            const QString meant = "set-up: " + row + ' ' + items[index].trimmed();
            const QByteArray payload = setupItemPayload(item, index, {});
            DisplayDecoder d;
            QCOMPARE(run(d, SetupFrame(payload)).value(0), meant);
            for (const int off : {-1, 1}) {
                const QByteArray wrong = payload.left(1) + char(payload[1] + off);
                QVERIFY2(run(d, SetupFrame(wrong)).value(0) != meant, qPrintable(meant));
            }
        }
        QCOMPARE(setupItemPayload(item, int(items.size()), {}), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestDisplayDecoder)
#include "tst_displaydecoder.moc"
