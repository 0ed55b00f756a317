#include "Ansi.h"
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

QByteArray rawTexts(const QStringList &texts)
{
    QByteArray bytes;
    for (const QString &text : texts)
        bytes += hexTextToBytes(text);
    return bytes;
}

QStringList run(DisplayDecoder &decoder, const QByteArray &bytes)
{
    decoder.feed(bytes);
    decoder.flush();
    return decoder.takeLog();
}

QByteArray emulationBytes(int emulation)
{
    return setupBytes(SetupEmulation, emulation);
}

} // namespace

class TestDisplayDecoder : public QObject
{
    Q_OBJECT

private slots:
    void setupItemLog_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("log");
        const auto row = [](const char *name, int item, int index, QStringList log) {
            QTest::newRow(name) << item << index << log;
        };
        row("INChar U.S.A", SetupINChar, 0, {"set-up: International Character U.S.A"});
        row("INChar Denmark II", SetupINChar, 10, {"set-up: International Character Denmark II"});
        row("INChar User define", SetupINChar, 15, {"set-up: International Character User define"});
        row("code page PC437", SetupCodePage, 0, {"set-up: Code Page PC437(USA,Std-EUR)"});
        row("code page Windows", SetupCodePage, 9, {"set-up: Code Page Windows code"});
        row("code page PC850 falls back", SetupCodePage, 2,
            {"set-up: Code Page PC850(Multilingual)",
             "code page PC850(Multilingual) is not drawn here: characters shown as PC437"});
        row("emulation native", SetupEmulation, 0, {"set-up: Command Emulation T3150-LC"});
        row("emulation ESC/POS", SetupEmulation, 1, {"set-up: Command Emulation ESC/POS"});
        row("communication N-8-1", SetupCommunication, 0, {"set-up: Communication N-8-1"});
        row("communication E-7-1", SetupCommunication, 3, {"set-up: Communication E-7-1"});
        row("communication O-7-1", SetupCommunication, 5, {"set-up: Communication O-7-1"});
        row("baud 9600", SetupBaud, 0, {"set-up: Baud rate 9,600bps"});
        row("baud 300", SetupBaud, 5, {"set-up: Baud rate 300bps"});
        row("baud 38400", SetupBaud, 6, {"set-up: Baud rate 38,400bps"});
        row("baud 19200", SetupBaud, 7, {"set-up: Baud rate 19,200bps"});
    }
    void setupItemLog()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        QFETCH(QStringList, log);
        DisplayDecoder decoder;
        // The frame's FF clears the glass but is part of the frame, not a line of its own.
        QCOMPARE(run(decoder, setupBytes(item, index)), log);
    }

    // Every entry of every list lands in its own field and nowhere else.
    void setupItemStored_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        const int counts[] = {16, 10, 2, 0, 0, 6, 8};
        for (int item : {SetupINChar, SetupCodePage, SetupEmulation, SetupCommunication, SetupBaud})
            for (int i = 0; i < counts[item]; ++i)
                QTest::addRow("item %d index %d", item, i) << item << i;
    }
    void setupItemStored()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        DisplayDecoder decoder;
        decoder.feed(setupBytes(item, index));
        DisplayEeprom expected;
        switch (item) {
        case SetupINChar:
            expected.inChar = index;
            break;
        case SetupCodePage:
            expected.codePage = index;
            break;
        case SetupEmulation:
            expected.emulation = index;
            break;
        case SetupCommunication:
            expected.communication = index;
            break;
        default:
            expected.baud = index;
            break;
        }
        QCOMPARE(decoder.eeprom(), expected);
    }

    void messages_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("log");
        QTest::newRow("upper ABC") << int(SetupUpperLine) << "ABC"
                                   << "set-up: Upper line \"ABC\"";
        QTest::newRow("upper empty") << int(SetupUpperLine) << ""
                                     << "set-up: Upper line \"\"";
        // The raw one, without the FF.
        QTest::newRow("lower ABC") << int(SetupLowerLine) << "ABC"
                                   << "set-up: Lower line \"ABC\"";
        QTest::newRow("lower empty") << int(SetupLowerLine) << ""
                                     << "set-up: Lower line \"\"";
        QTest::newRow("upper 25 characters") << int(SetupUpperLine) << "ABCDEFGHIJKLMNOPQRSTUVWXY"
                                             << "set-up: Upper line \"ABCDEFGHIJKLMNOPQRSTUVWXY\"";
    }
    void messages()
    {
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(QString, log);
        DisplayDecoder decoder;
        QCOMPARE(run(decoder, setupBytes(item, 0, text)), QStringList{log});
        const QByteArray stored =
            item == SetupUpperLine ? decoder.eeprom().upperLine : decoder.eeprom().lowerLine;
        QCOMPARE(stored, toAnsi(text));
        QCOMPARE(item == SetupUpperLine ? decoder.eeprom().lowerLine : decoder.eeprom().upperLine,
                 QByteArray());
    }

    void messageThroughCodePage()
    {
        DisplayDecoder decoder;
        decoder.feed(setupBytes(SetupCodePage, 9));
        decoder.takeLog();
        QCOMPARE(run(decoder, setupBytes(SetupUpperLine, 0, QStringLiteral("Grüße €5"))),
                 QStringList{QStringLiteral("set-up: Upper line \"Grüße €5\"")});
    }

    void resets_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("upperKept");
        QTest::addColumn<bool>("lowerKept");
        QTest::addColumn<bool>("settingsKept");
        QTest::newRow("all") << int(ResetAll) << "reset: Clear all EEPROM contents" << false
                             << false << false;
        QTest::newRow("upper") << int(ResetUpperLine) << "reset: Clear upper line data message"
                               << false << true << true;
        QTest::newRow("lower") << int(ResetLowerLine) << "reset: Clear lower line data message"
                               << true << false << true;
    }
    void resets()
    {
        QFETCH(int, item);
        QFETCH(QString, log);
        QFETCH(bool, upperKept);
        QFETCH(bool, lowerKept);
        QFETCH(bool, settingsKept);
        DisplayDecoder decoder;
        decoder.feed(setupBytes(SetupUpperLine, 0, QStringLiteral("UP")) +
                     setupBytes(SetupLowerLine, 0, QStringLiteral("LOW")) +
                     setupBytes(SetupBaud, 7) + setupBytes(SetupEmulation, 1));
        decoder.takeLog();
        QCOMPARE(run(decoder, framed(resetItemPayload(item))), QStringList{log});
        QCOMPARE(decoder.eeprom().upperLine, upperKept ? QByteArray("UP") : QByteArray());
        QCOMPARE(decoder.eeprom().lowerLine, lowerKept ? QByteArray("LOW") : QByteArray());
        QCOMPARE(decoder.eeprom().baud, settingsKept ? 7 : 0);
        QCOMPARE(decoder.eeprom().emulation, settingsKept ? 1 : 0);
    }

    void closingAndFarewell()
    {
        DisplayDecoder decoder;
        const QByteArray farewell = hexTextToBytes(SetupFrame("1B40456E64206F66205365742121"));
        QCOMPARE(run(decoder, framed(ClosingFrame()) + farewell),
                 (QStringList{"set-up closed: Ready!", "farewell: End of Set!!"}));
        QCOMPARE(decoder.eeprom(), DisplayEeprom{});
    }

    void demo()
    {
        DisplayDecoder decoder;
        decoder.feed(setupBytes(SetupUpperLine, 0, QStringLiteral("WELCOME")) +
                     setupBytes(SetupLowerLine, 0, QStringLiteral("TO THE SHOP, OPEN DAILY")));
        decoder.takeLog();

        const QStringList runLog = run(decoder, rawTexts(runDemoTexts().texts) +
                                                    hexTextToBytes(SetupFrame(DemoCommand())));
        QCOMPARE(runLog, (QStringList{"FF clear", "text: Demo....", "FF clear", "demo mode on"}));
        QVERIFY(decoder.eeprom().demoMode);
        QCOMPARE(decoder.lineText(0), QStringLiteral("WELCOME"));
        QCOMPARE(decoder.lineText(1), QStringLiteral("TO THE SHOP, OPEN DA"));

        // A set-up frame does not end the demo, even with its FF.
        QCOMPARE(run(decoder, framed(ClosingFrame())), QStringList{"set-up closed: Ready!"});
        QVERIFY(decoder.eeprom().demoMode);

        QCOMPARE(run(decoder, rawTexts(stopDemoScript().texts)),
                 (QStringList{"demo mode off", "FF clear", "text: Stop DEMO!"}));
        QVERIFY(!decoder.eeprom().demoMode);
        QCOMPARE(decoder.lineText(0), QStringLiteral("Stop DEMO!"));
        QCOMPARE(decoder.lineText(1), QString());
    }

    void testPrintScreens_data()
    {
        QTest::addColumn<int>("texts");
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("bottom");
        QTest::newRow("test line") << 1 << 0 << "TEST Print!"
                                   << "";
        QTest::newRow("maker") << 2 << 0 << "TEST Print!"
                               << "Vantor QS Corp.";
        // LF from the lower line goes back up in overwrite mode; CAN clears that line first.
        QTest::newRow("telephone") << 3 << 0 << "TEL 12-3-4567-8901"
                                   << "Vantor QS Corp.";
        // An address longer than the line runs on at the start of the upper line.
        const QString address = QString::fromLatin1(SupportAddress);
        const QString rest = address.mid(DisplayDecoder::Columns);
        QTest::newRow("e-mail") << 4 << 0 << rest + QStringLiteral("e-mail:").mid(rest.size())
                                << address.left(DisplayDecoder::Columns);
        QTest::newRow("page 0x20") << 5 << 0 << " !\"#$%&'()*+,-./"
                                   << "";
        QTest::newRow("page 0x40") << 7 << 0 << "@ABCDEFGHIJKLMNO"
                                   << "";
        QTest::newRow("page 0x70 PC437") << 10 << 0 << "pqrstuvwxyz{|}~\u2302"
                                         << "";
        QTest::newRow("page 0x80 PC437") << 11 << 0 << "ÇüéâäàåçêëèïîìÄÅ"
                                         << "";
        QTest::newRow("page 0x80 Windows") << 11 << 9 << "€ ‚ƒ„…†‡ˆ‰Š‹Œ Ž"
                                           << "";
        QTest::newRow("page 0xA0 PC437") << 13 << 0 << "áíóúñÑªº¿⌐¬½¼¡«»"
                                         << "";
        QTest::newRow("page 0xA0 Windows")
            << 13 << 9 << QString::fromUtf8("\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD®¯") << "";
        QTest::newRow("page 0xF0 PC437")
            << 18 << 0 << QString::fromUtf8("≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0") << "";
        QTest::newRow("banner") << 19 << 0 << "Vantor QS Corp."
                                << "  Tech.Ops Div.";
    }
    void testPrintScreens()
    {
        QFETCH(int, texts);
        QFETCH(int, codePage);
        QFETCH(QString, top);
        QFETCH(QString, bottom);
        DisplayDecoder decoder;
        decoder.feed(setupBytes(SetupCodePage, codePage));
        decoder.feed(rawTexts(testPrintScript().texts.mid(0, texts)));
        QCOMPARE(decoder.lineText(0), top);
        QCOMPARE(decoder.lineText(1), bottom);
    }

    void testPrintLog()
    {
        DisplayDecoder decoder;
        const QStringList log = run(decoder, rawTexts(testPrintScript().texts.mid(0, 3)));
        QCOMPARE(log,
                 (QStringList{"FF clear", "text: TEST Print!", "CR", "LF", "text: Vantor QS Corp.",
                              "CR", "LF", "CAN clear line", "text: TEL 12-3-4567-8901"}));
    }

    // The display's modes, entered by PoleSet's own mode sequences after the emulation is set.
    void modes_data()
    {
        QTest::addColumn<int>("emulation");
        QTest::addColumn<bool>("scroll");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("bottom");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");

        const QByteArray line1 = "0123456789ABCDEFGHIJ";
        const QByteArray line2 = "KLMNOPQRSTUVWXYZabcd";
        for (int emulation : {0, 1}) {
            const char *name = emulation == 0 ? "native" : "ESC/POS";
            QTest::addRow("%s overwrite wraps to line 2", name)
                << emulation << false << line1 + "x" << QString(line1) << "x" << 1 << 1;
            QTest::addRow("%s overwrite wraps back to line 1", name)
                << emulation << false << line1 + line2 + "xy"
                << "xy23456789ABCDEFGHIJ" << QString(line2) << 0 << 2;
            QTest::addRow("%s overwrite LF goes up", name)
                << emulation << false << QByteArray("AB\r\nCD\nE") << "ABE"
                << "CD" << 0 << 3;
            QTest::addRow("%s scroll fills line 2", name)
                << emulation << true << line1 + "x" << QString(line1) << "x" << 1 << 1;
            QTest::addRow("%s scroll keeps a full line 2", name)
                << emulation << true << line1 + line2 << QString(line1) << QString(line2) << 1
                << 20;
            QTest::addRow("%s scroll moves line 2 up", name)
                << emulation << true << line1 + line2 + "xy" << QString(line2) << "xy" << 1 << 2;
            QTest::addRow("%s scroll LF moves up", name)
                << emulation << true << QByteArray("AB\r\nCD\r\nE") << "CD"
                << "E" << 1 << 1;
        }
    }
    void modes()
    {
        QFETCH(int, emulation);
        QFETCH(bool, scroll);
        QFETCH(QByteArray, text);
        QFETCH(QString, top);
        QFETCH(QString, bottom);
        QFETCH(int, row);
        QFETCH(int, column);

        DisplayDecoder decoder;
        const DisplayScript script = scroll ? scrollScript(emulation) : overwriteScript(emulation);
        // Start from the other mode so the sequence has something to change.
        const DisplayScript other = scroll ? overwriteScript(emulation) : scrollScript(emulation);
        decoder.feed(emulationBytes(emulation) + hexTextToBytes(other.texts.at(0)));
        decoder.takeLog();
        const QString modeName =
            QStringLiteral("%1 mode (%2)")
                .arg(scroll ? "scroll" : "overwrite", emulation == 0 ? "native" : "ESC/POS");
        QCOMPARE(run(decoder, hexTextToBytes(script.texts.at(0))),
                 (QStringList{"VT home", modeName, "LF", modeName}));
        QCOMPARE(decoder.mode(),
                 scroll ? DisplayDecoder::Mode::Scroll : DisplayDecoder::Mode::Overwrite);

        decoder.feed(QByteArray("\x0C") + text);
        QCOMPARE(decoder.lineText(0), top);
        QCOMPARE(decoder.lineText(1), bottom);
        QCOMPARE(decoder.cursorRow(), row);
        QCOMPARE(decoder.cursorColumn(), column);
    }

    // A display set to one emulation does not obey the other's mode commands.
    void otherEmulationIgnored_data()
    {
        QTest::addColumn<int>("emulation");
        QTest::addColumn<QString>("line");
        QTest::newRow("ESC/POS sequence, native display")
            << 0 << "scroll mode (ESC/POS) ignored: the display is set to T3150-LC";
        QTest::newRow("native sequence, ESC/POS display")
            << 1 << "scroll mode (native) ignored: the display is set to ESC/POS";
    }
    void otherEmulationIgnored()
    {
        QFETCH(int, emulation);
        QFETCH(QString, line);
        DisplayDecoder decoder;
        decoder.feed(emulationBytes(emulation));
        decoder.takeLog();
        const QStringList log = run(decoder, hexTextToBytes(scrollScript(1 - emulation).texts[0]));
        QCOMPARE(log, (QStringList{"VT home", line, "LF", line}));
        QCOMPARE(decoder.mode(), DisplayDecoder::Mode::Overwrite);
    }

    void initialise()
    {
        DisplayDecoder decoder;
        decoder.feed(hexTextToBytes(scrollScript(0).texts[0]) + "HELLO");
        QCOMPARE(decoder.mode(), DisplayDecoder::Mode::Scroll);
        decoder.takeLog();
        QCOMPARE(run(decoder, hexTextToBytes(initScript().texts[0])),
                 (QStringList{"text: HELLO", "ESC @ initialise"}));
        QCOMPARE(decoder.mode(), DisplayDecoder::Mode::Overwrite);
        QCOMPARE(decoder.lineText(0), QString());
        QCOMPARE(decoder.lineText(1), QString());
        QCOMPARE(decoder.cursorRow(), 0);
        QCOMPARE(decoder.cursorColumn(), 0);
    }

    void cancelClearsOnlyItsLine()
    {
        DisplayDecoder decoder;
        decoder.feed("ABCDE\r\nFGHIJ\x18XY");
        QCOMPARE(decoder.lineText(0), QStringLiteral("ABCDE"));
        QCOMPARE(decoder.lineText(1), QStringLiteral("XY"));
        QCOMPARE(decoder.cursorColumn(), 2);
    }

    void unknownBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("backspace") << QByteArray("A\x08"
                                                 "B")
                                   << QStringList{"text: A", "unknown: 08", "text: B"};
        QTest::newRow("NUL") << QByteArray(1, '\0') << QStringList{"unknown: 00"};
        QTest::newRow("lone ETX") << QByteArray("\x03") << QStringList{"unknown: 03"};
        QTest::newRow("ESC x") << QByteArray("\x1Bx") << QStringList{"unknown: 1B 78"};
        QTest::newRow("ESC then FF")
            << QByteArray("\x1B\x0C") << QStringList{"unknown: 1B", "FF clear"};
        QTest::newRow("US 05") << QByteArray("\x1F\x05")
                               << QStringList{"unknown: 1F", "unknown: 05"};
        QTest::newRow("US A") << QByteArray("\x1F"
                                            "A")
                              << QStringList{"unknown: 1F 41"};
        QTest::newRow("STX without ENQ") << QByteArray("\x0C\x02"
                                                       "A")
                                         << QStringList{"FF clear", "unknown: 02", "text: A"};
        QTest::newRow("unknown payload") << QByteArray("\x0C\x02\x05Z1\x03")
                                         << QStringList{"unknown set-up frame: 0C 02 05 5A 31 03"};
        QTest::newRow("baud code out of range")
            << QByteArray("\x0C\x02\x05"
                          "B9\x03")
            << QStringList{"unknown set-up frame: 0C 02 05 42 39 03"};
        QTest::newRow("empty frame without FF")
            << QByteArray("\x02\x05\x03") << QStringList{"unknown set-up frame: 02 05 03"};
        QTest::newRow("frame cut by the next")
            << QByteArray("\x0C\x02\x05"
                          "B") +
                   framed("4237")
            << QStringList{"unterminated set-up frame (4 bytes): 0C 02 05 42",
                           "set-up: Baud rate 19,200bps"};
    }
    void unknownBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, log);
        DisplayDecoder decoder;
        QCOMPARE(run(decoder, bytes), log);
    }

    void unterminatedFrameResyncs()
    {
        DisplayDecoder decoder;
        const QByteArray junk(10000, 'A');
        decoder.feed(QByteArray("\x0C\x02\x05") + junk + setupBytes(SetupBaud, 7) + "\x0COK");
        decoder.flush();
        const QStringList log = decoder.takeLog();
        const QByteArray dropped =
            QByteArray("\x0C\x02\x05") + junk.left(DisplayDecoder::MaxPayload + 1);
        QCOMPARE(log.value(0),
                 QStringLiteral("unterminated set-up frame (%1 bytes): ").arg(dropped.size()) +
                     QString::fromLatin1(dropped.toHex(' ').toUpper()));
        // What followed the bound is read afresh: drawn as text, then the next frame is seen.
        QCOMPARE(log.value(1),
                 QStringLiteral("text: ") +
                     QString(10000 - DisplayDecoder::MaxPayload - 1, QLatin1Char('A')));
        QCOMPARE(log.mid(2), (QStringList{"set-up: Baud rate 19,200bps", "FF clear", "text: OK"}));
        QCOMPARE(decoder.eeprom().baud, 7);
        QCOMPARE(decoder.lineText(0), QStringLiteral("OK"));
    }

    // Byte by byte gives the same log and the same display as one block.
    void splitFeeding()
    {
        QByteArray stream = emulationBytes(1) + setupBytes(SetupUpperLine, 0, "Hello") +
                            setupBytes(SetupLowerLine, 0, "World") + framed(ClosingFrame()) +
                            rawTexts(testPrintScript().texts) + rawTexts(scrollScript(1).texts) +
                            "some text that scrolls along" + rawTexts(runDemoTexts().texts) +
                            framed(DemoCommand()) + framed(resetItemPayload(ResetUpperLine)) +
                            "\x08\x1Bx\x02Q" + rawTexts(stopDemoScript().texts) + "\x0C\x02\x05" +
                            QByteArray(300, 'Z') + rawTexts(initScript().texts);
        DisplayDecoder whole;
        const QStringList wholeLog = run(whole, stream);

        DisplayDecoder split;
        QStringList splitLog;
        for (const char byte : stream) {
            split.feed(QByteArrayView(&byte, 1));
            splitLog += split.takeLog();
        }
        split.flush();
        splitLog += split.takeLog();

        QCOMPARE(splitLog, wholeLog);
        QCOMPARE(split.eeprom(), whole.eeprom());
        for (int row = 0; row < DisplayDecoder::Rows; ++row)
            QCOMPARE(split.lineBytes(row), whole.lineBytes(row));
        QCOMPARE(split.cursorRow(), whole.cursorRow());
        QCOMPARE(split.cursorColumn(), whole.cursorColumn());
        QCOMPARE(split.mode(), whole.mode());
    }

    // A FF held back for a possible frame is settled by flush() only when no STX follows it.
    void flushKeepsFrameLeadIn()
    {
        DisplayDecoder decoder;
        decoder.feed("\x0C\x02");
        decoder.flush();
        QCOMPARE(decoder.takeLog(), QStringList());
        QCOMPARE(run(decoder, "\x05"
                              "B7\x03"),
                 QStringList{"set-up: Baud rate 19,200bps"});
    }
};

QTEST_GUILESS_MAIN(TestDisplayDecoder)
#include "tst_displaydecoder.moc"
