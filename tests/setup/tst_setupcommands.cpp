#include "SerialLink.h"
#include "SetupCommands.h"

#include <QtTest>

namespace {

// The bytes that reach the display for a set-up row; empty when there is nothing to send.
QByteArray wire(int item, int index, const QString &text = {})
{
    const QString payload = setupItemPayload(item, index, text);
    return payload.isEmpty() ? QByteArray()
                             : hexTextToBytes(setupItemIsRaw(item) ? payload : SetupFrame(payload));
}

} // namespace

class TestSetupCommands : public QObject
{
    Q_OBJECT

private slots:
    void listItems_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("code"); // empty: nothing is to be sent
        QTest::newRow("INChar 10 is ':'") << int(SetupINChar) << 10 << QByteArray("S:");
        QTest::newRow("INChar 15 is '?'") << int(SetupINChar) << 15 << QByteArray("S?");
        QTest::newRow("code page 9") << int(SetupCodePage) << 9 << QByteArray("T9");
        QTest::newRow("ESC/POS") << int(SetupEmulation) << 1 << QByteArray("C1");
        QTest::newRow("N-8-1 is '1'") << int(SetupCommunication) << 0 << QByteArray("P1");
        QTest::newRow("O-7-1 is '6'") << int(SetupCommunication) << 5 << QByteArray("P6");
        QTest::newRow("38400") << int(SetupBaud) << 6 << QByteArray("B6");
        QTest::newRow("19200") << int(SetupBaud) << 7 << QByteArray("B7");
        QTest::newRow("no selection") << int(SetupINChar) << -1 << QByteArray();
        QTest::newRow("communication 6") << int(SetupCommunication) << 6 << QByteArray();
        QTest::newRow("item 7") << 7 << 0 << QByteArray();
    }
    void listItems()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        QFETCH(QByteArray, code);
        QCOMPARE(wire(item, index, "ABC"), code.isEmpty() ? code : "\f\2\5" + code + "\3");
    }

    void messageFrames()
    {
        // The message rows ignore the list index, even a nonsensical one.
        QCOMPARE(wire(SetupUpperLine, -5, "ABC"), QByteArray("\f\2\5L1ABC\3"));
        QCOMPARE(wire(SetupLowerLine, -5, "ABC"), QByteArray("\2\5L2ABC\3"));
        QCOMPARE(wire(SetupUpperLine, 0), QByteArray("\f\2\5L1\3"));
        QCOMPARE(wire(SetupLowerLine, 0), QByteArray("\2\5L2\3"));
    }

    void resetsAndClosing()
    {
        QCOMPARE(hexTextToBytes(SetupFrame(resetItemPayload(ResetAll))), QByteArray("\f\2\5\a1\3"));
        QCOMPARE(resetItemPayload(ResetLowerLine), "0733");
        QVERIFY(resetItemPayload(3).isEmpty());
        QCOMPARE(hexTextToBytes(SetupFrame(ClosingFrame())), QByteArray("\f\2\5\vReady!\3"));
    }

    void messageText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QString longText;
        for (int i = 0; i < 198; ++i)
            longText += QChar(u'!' + i % 94);
        QTest::newRow("198 whole")
            << longText << QString::fromLatin1(longText.toLatin1().toHex().toUpper());
        // Control bytes would break the frame the message travels in.
        QTest::newRow("STX ETX smuggled") << QStringLiteral("A\2B\3") << "413F423F";
        QTest::newRow("DEL") << QStringLiteral("\x7F") << "3F";
        QTest::newRow("e acute") << QStringLiteral("\u00E9") << "E9";
        QTest::newRow("euro") << QStringLiteral("\u20AC") << "80";
        QTest::newRow("omega, not in Windows-1252") << QStringLiteral("\u03A9") << "3F";
    }
    void messageText()
    {
        QFETCH(QString, text);
        QFETCH(QString, hex);
        QCOMPARE(setupItemPayload(SetupUpperLine, 0, text), "4C31" + hex);
    }

    void pcSide()
    {
        const auto pc = [](int index) {
            const PcLineFormat format = pcLineForCommunication(index);
            return QList<int>{format.parity, format.bitLen, pcBaudForDspBaud(index)};
        };
        QCOMPARE(pc(0), (QList<int>{0, 8, 9600}));
        QCOMPARE(pc(3), (QList<int>{1, 7, 1200}));
        // Past the end of the format list the port still gets a valid format.
        QCOMPARE(pc(6), (QList<int>{2, 7, 38400}));
    }
};

QTEST_APPLESS_MAIN(TestSetupCommands)
#include "tst_setupcommands.moc"
