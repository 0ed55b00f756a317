#include "SerialLink.h"
#include "SetupCommands.h"

#include <QtTest>

class TestSetupCommands : public QObject
{
    Q_OBJECT

private slots:
    // The bytes that reach the display for a set-up row; empty when there is nothing to send.
    void items_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        const auto row = [](const char *name, int item, int index, const QString &text,
                            const QByteArray &wire) {
            QTest::newRow(name) << item << index << text << wire;
        };
        // The list rows ignore the text, the message rows the list index.
        const auto list = [&row](const char *name, int item, int index, const QByteArray &code) {
            row(name, item, index, "ABC", code.isEmpty() ? code : "\f\2\5" + code + "\3");
        };
        list("INChar 15 is '?'", SetupINChar, 15, "S?");
        list("code page 9", SetupCodePage, 9, "T9");
        list("N-8-1 is '1'", SetupCommunication, 0, "P1");
        list("O-7-1 is '6'", SetupCommunication, 5, "P6");
        list("19200", SetupBaud, 7, "B7");
        list("no selection", SetupINChar, -1, {});
        list("communication 6", SetupCommunication, 6, {});
        list("baud 8", SetupBaud, 8, {});
        list("item 7", 7, 0, {});
        row("upper", SetupUpperLine, -5, "ABC", "\f\2\5L1ABC\3");
        row("empty lower, raw", SetupLowerLine, -5, "", "\2\5L2\3");
        // Control bytes would break the frame the message travels in.
        row("STX ETX DEL smuggled", SetupUpperLine, 0, "A\2B\3\x7F", "\f\2\5L1A?B??\3");
        row("outside Windows-1252", SetupUpperLine, 0, QStringLiteral("\u00E9\u20AC\u03A9"),
            "\f\2\5L1\xE9\x80?\3");
    }
    void items()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        const QString payload = setupItemPayload(item, index, text);
        QCOMPARE(payload.isEmpty()
                     ? QByteArray()
                     : hexTextToBytes(setupItemIsRaw(item) ? payload : SetupFrame(payload)),
                 wire);
    }

    void resets()
    {
        const QStringList payloads = {resetItemPayload(ResetAll), resetItemPayload(ResetLowerLine),
                                      resetItemPayload(-1), resetItemPayload(3)};
        QCOMPARE(payloads, (QStringList{"0731", "0733", "", ""}));
    }

    void pcSide()
    {
        const auto pc = [](int index) {
            const PcLineFormat format = pcLineForCommunication(index);
            return QList<int>{format.parity, format.bitLen, pcBaudForDspBaud(index)};
        };
        QCOMPARE(pc(4), (QList<int>{2, 8, 600}));
        // Outside the lists the port still gets a valid format.
        QCOMPARE(pc(-1), (QList<int>{0, 8, 9600}));
        QCOMPARE(pc(9), (QList<int>{2, 7, 19200}));
    }
};

QTEST_APPLESS_MAIN(TestSetupCommands)
#include "tst_setupcommands.moc"
