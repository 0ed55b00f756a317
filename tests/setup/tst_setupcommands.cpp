#include "DisplayScripts.h"
#include "SetupCommands.h"

#include <QtTest>

// The vocabulary where no window test reaches: nothing sent for an unknown item or no selection,
// no control byte smuggled in a message, and the fixed scripts.
class TestSetupCommands : public QObject
{
    Q_OBJECT

private slots:
    void items_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire"); // empty: nothing to send
        QTest::newRow("no selection") << int(SetupINChar) << -1 << "" << QByteArray();
        QTest::newRow("item 7") << 7 << 0 << "" << QByteArray();
        QTest::newRow("STX ETX DEL smuggled")
            << int(SetupUpperLine) << 0 << "A\2B\3\x7F" << QByteArray("L1A?B??");
        QTest::newRow("outside Windows-1252")
            << int(SetupUpperLine) << 0 << QStringLiteral("\u00E9\u20AC\u03A9")
            << QByteArray("L1\xE9\x80?");
    }
    void items()
    {
        QFETCH(int, item);
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QCOMPARE(setupItemPayload(item, index, text), wire);
    }

    void resetsAndScripts()
    {
        QCOMPARE(resetItemPayload(-1), QByteArray());
        QCOMPARE(resetItemPayload(3), QByteArray());
        // 19 texts; the 14 character pages cover 0x20 to 0xFF, 16 codes a screen.
        const QByteArrayList print = testPrintScript().texts;
        QCOMPARE(print.size(), 19);
        QByteArray codes, pages;
        for (int code = 0x20; code < 0x100; ++code)
            codes += char(code);
        for (const QByteArray &page : print.mid(4, 14))
            pages += page.sliced(1) + (page.startsWith('\f') ? "" : "!");
        QCOMPARE(pages, codes);
        QCOMPARE(characterPage(1), QByteArray());
        QCOMPARE(characterPage(16), QByteArray());
    }
};

QTEST_APPLESS_MAIN(TestSetupCommands)
#include "tst_setupcommands.moc"
