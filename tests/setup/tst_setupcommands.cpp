#include "SerialLink.h"
#include "SetupCommands.h"

#include <QtTest>

namespace {

// The bytes that reach the display for a set-up payload.
QByteArray wireBytes(int item, const QString &payload)
{
    return hexTextToBytes(setupItemIsRaw(item) ? payload : SetupFrame(payload));
}

QByteArray bytes(const char *spacedHex)
{
    return QByteArray::fromHex(spacedHex);
}

} // namespace

class TestSetupCommands : public QObject
{
    Q_OBJECT

private slots:
    void listPayload_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("payload");

        const char *inChar[] = {"5330", "5331", "5332", "5333", "5334", "5335", "5336", "5337",
                                "5338", "5339", "533A", "533B", "533C", "533D", "533E", "533F"};
        for (int i = 0; i < 16; ++i)
            QTest::addRow("INChar %d", i) << int(SetupINChar) << i << QString(inChar[i]);

        const char *codePage[] = {"5430", "5431", "5432", "5433", "5434",
                                  "5435", "5436", "5437", "5438", "5439"};
        for (int i = 0; i < 10; ++i)
            QTest::addRow("code page %d", i) << int(SetupCodePage) << i << QString(codePage[i]);

        QTest::newRow("emulation native") << int(SetupEmulation) << 0 << "4330";
        QTest::newRow("emulation ESC/POS") << int(SetupEmulation) << 1 << "4331";

        const char *communication[] = {"5031", "5032", "5033", "5034", "5035", "5036"};
        for (int i = 0; i < 6; ++i)
            QTest::addRow("communication %d", i)
                << int(SetupCommunication) << i << QString(communication[i]);

        const char *baud[] = {"4230", "4231", "4232", "4233", "4234", "4235", "4236", "4237"};
        for (int i = 0; i < 8; ++i)
            QTest::addRow("baud %d", i) << int(SetupBaud) << i << QString(baud[i]);
    }
    void listPayload()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        QFETCH(QString, payload);
        QCOMPARE(setupItemPayload(item, index, QString()), payload);
        // The list rows take no notice of the message boxes.
        QCOMPARE(setupItemPayload(item, index, QStringLiteral("ABC")), payload);
        QVERIFY(!setupItemIsRaw(item));
    }

    void outOfRangeSendsNothing_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::newRow("no selection") << int(SetupINChar) << -1;
        QTest::newRow("INChar 16") << int(SetupINChar) << 16;
        QTest::newRow("code page 10") << int(SetupCodePage) << 10;
        QTest::newRow("emulation 2") << int(SetupEmulation) << 2;
        QTest::newRow("communication 6") << int(SetupCommunication) << 6;
        QTest::newRow("baud 8") << int(SetupBaud) << 8;
        QTest::newRow("item -1") << -1 << 0;
        QTest::newRow("item 7") << 7 << 0;
    }
    void outOfRangeSendsNothing()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        QVERIFY(setupItemPayload(item, index, QStringLiteral("A")).isEmpty());
    }

    void onTheWire_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("INChar Denmark II")
            << int(SetupINChar) << 10 << "" << bytes("0C 02 05 53 3A 03");
        QTest::newRow("emulation ESC/POS")
            << int(SetupEmulation) << 1 << "" << bytes("0C 02 05 43 31 03");
        QTest::newRow("communication E-7-1")
            << int(SetupCommunication) << 3 << "" << bytes("0C 02 05 50 34 03");
        QTest::newRow("baud 19200") << int(SetupBaud) << 7 << "" << bytes("0C 02 05 42 37 03");
        // The message rows ignore the list index, even a nonsensical one.
        QTest::newRow("upper ABC")
            << int(SetupUpperLine) << -5 << "ABC" << bytes("0C 02 05 4C 31 41 42 43 03");
        QTest::newRow("lower ABC raw")
            << int(SetupLowerLine) << -5 << "ABC" << bytes("02 05 4C 32 41 42 43 03");
        QTest::newRow("upper empty")
            << int(SetupUpperLine) << -5 << "" << bytes("0C 02 05 4C 31 03");
        QTest::newRow("lower empty") << int(SetupLowerLine) << -5 << "" << bytes("02 05 4C 32 03");
    }
    void onTheWire()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QCOMPARE(wireBytes(item, setupItemPayload(item, index, text)), wire);
    }

    void longMessageIsSentWhole_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("25") << 25;
        QTest::newRow("198") << 198;
    }
    void longMessageIsSentWhole()
    {
        QFETCH(int, length);
        QString message;
        QByteArray expected;
        for (int i = 0; i < length; ++i) {
            const char c = char('!' + i % 94); // every printable ASCII character
            message += QChar(c);
            expected += c;
        }
        QCOMPARE(wireBytes(SetupUpperLine, setupItemPayload(SetupUpperLine, 0, message)),
                 bytes("0C 02 05 4C 31") + expected + bytes("03"));
        QCOMPARE(wireBytes(SetupLowerLine, setupItemPayload(SetupLowerLine, 0, message)),
                 bytes("02 05 4C 32") + expected + bytes("03"));
    }

    void messageCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QTest::newRow("blank") << " "
                               << "20";
        QTest::newRow("tilde") << "~"
                               << "7E";
        QTest::newRow("NUL") << QString(QChar(u'\0')) << "3F";
        QTest::newRow("code 0x05") << "\x05"
                                   << "3F";
        QTest::newRow("code 0x1F") << "\x1F"
                                   << "3F";
        QTest::newRow("STX ETX smuggled") << "A\x02"
                                             "B\x03"
                                          << "413F423F";
        QTest::newRow("CR LF") << "\r\n"
                               << "3F3F";
        QTest::newRow("DEL") << "\x7F"
                             << "3F";
        QTest::newRow("e acute") << QStringLiteral("\u00E9") << "E9";
        QTest::newRow("no-break space") << QStringLiteral("\u00A0") << "A0";
        QTest::newRow("y diaeresis") << QStringLiteral("\u00FF") << "FF";
        QTest::newRow("euro") << QStringLiteral("\u20AC") << "80";
        QTest::newRow("left double quote") << QStringLiteral("\u201C") << "93";
        QTest::newRow("outside the BMP") << QStringLiteral("\U0001F600") << "3F";
        QTest::newRow("omega") << QStringLiteral("\u03A9") << "3F";
        QTest::newRow("mixed") << QStringLiteral("a\u00E9\u03A9\u20ACz") << "61E93F807A";
    }
    void messageCharacters()
    {
        QFETCH(QString, text);
        QFETCH(QString, hex);
        QCOMPARE(messageHexText(text), hex);
        QCOMPARE(setupItemPayload(SetupUpperLine, 0, text), "4C31" + hex);
    }

    void resets_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("all") << int(ResetAll) << "0731" << bytes("0C 02 05 07 31 03");
        QTest::newRow("upper") << int(ResetUpperLine) << "0732" << bytes("0C 02 05 07 32 03");
        QTest::newRow("lower") << int(ResetLowerLine) << "0733" << bytes("0C 02 05 07 33 03");
        QTest::newRow("-1") << -1 << "" << QByteArray();
        QTest::newRow("3") << 3 << "" << QByteArray();
    }
    void resets()
    {
        QFETCH(int, item);
        QFETCH(QString, payload);
        QFETCH(QByteArray, wire);
        QCOMPARE(resetItemPayload(item), payload);
        if (!payload.isEmpty())
            QCOMPARE(hexTextToBytes(SetupFrame(resetItemPayload(item))), wire);
    }

    void closingFrame()
    {
        QCOMPARE(ClosingFrame(), "0B526561647921");
        QCOMPARE(hexTextToBytes(SetupFrame(ClosingFrame())),
                 bytes("0C 02 05 0B 52 65 61 64 79 21 03"));
    }

    void pcLine_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("bitLen");
        QTest::newRow("N-8-1") << 0 << 0 << 8;
        QTest::newRow("N-7-1") << 1 << 0 << 7;
        QTest::newRow("E-8-1") << 2 << 1 << 8;
        QTest::newRow("E-7-1") << 3 << 1 << 7;
        QTest::newRow("O-8-1") << 4 << 2 << 8;
        QTest::newRow("O-7-1") << 5 << 2 << 7;
    }
    void pcLine()
    {
        QFETCH(int, index);
        QFETCH(int, parity);
        QFETCH(int, bitLen);
        const PcLineFormat format = pcLineForCommunication(index);
        QCOMPARE(format.parity, parity);
        QCOMPARE(format.bitLen, bitLen);
        // Reading the settings back derives the same display format.
        QCOMPARE(dspCommunicationOf(format.parity, format.bitLen), index);
    }

    void pcBaud_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("rate");
        const int rates[] = {9600, 4800, 2400, 1200, 600, 300, 38400, 19200};
        for (int i = 0; i < 8; ++i)
            QTest::addRow("index %d", i) << i << rates[i];
    }
    void pcBaud()
    {
        QFETCH(int, index);
        QFETCH(int, rate);
        QCOMPARE(pcBaudForDspBaud(index), rate);
        QCOMPARE(dspBaudIndexOf(rate), index);
    }

    void pcSideClamps()
    {
        QCOMPARE(pcBaudForDspBaud(-1), 9600);
        QCOMPARE(pcBaudForDspBaud(8), 19200);
        QCOMPARE(pcLineForCommunication(-1).bitLen, 8);
        QCOMPARE(pcLineForCommunication(-1).parity, 0);
        QCOMPARE(pcLineForCommunication(6).parity, 2);
        QCOMPARE(pcLineForCommunication(6).bitLen, 7);
    }
};

QTEST_APPLESS_MAIN(TestSetupCommands)
#include "tst_setupcommands.moc"
