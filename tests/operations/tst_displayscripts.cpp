#include "DisplayScripts.h"
#include "SerialLink.h"

#include <QtTest>

namespace {

// Every script text must be whole upper-case digit pairs, or the link would drop or misread it.
bool isCleanHexText(const QString &text)
{
    return text.size() % 2 == 0 && bytesToHexText(hexTextToBytes(text)) == text;
}

} // namespace

class TestDisplayScripts : public QObject
{
    Q_OBJECT

private slots:
    void testPrint()
    {
        const DisplayScript script = testPrintScript();
        QCOMPARE(script.status, "Test Print Out...");
        const QStringList expected = {
            "0C54455354205072696E7421",
            "0D0A56616E746F7220515320436F72702E",
            "0D0A1854454C2031322D332D343536372D38393031",
            "0C652D6D61696C3A0D0A737570706F72744076616E746F722D71732E6578616D706C65",
            "0C202122232425262728292A2B2C2D2E2F",
            "0C303132333435363738393A3B3C3D3E3F",
            "0C404142434445464748494A4B4C4D4E4F",
            "0C505152535455565758595A5B5C5D5E5F",
            "0C606162636465666768696A6B6C6D6E6F",
            "0C707172737475767778797A7B7C7D7E7F",
            "0C808182838485868788898A8B8C8D8E8F",
            "0C909192939495969798999A9B9C9D9E9F",
            "0CA0A1A2A3A4A5A6A7A8A9AAABACADAEAF",
            "0CB0B1B2B3B4B5B6B7B8B9BABBBCBDBEBF",
            "0CC0C1C2C3C4C5C6C7C8C9CACBCCCDCECF",
            "0CD0D1D2D3D4D5D6D7D8D9DADBDCDDDEDF",
            "0CE0E1E2E3E4E5E6E7E8E9EAEBECEDEEEF",
            "0CF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF",
            "0C56616E746F7220515320436F72702E2020200D0A2020546563682E4F7073204469762E202020",
        };
        QCOMPARE(script.texts.size(), 19);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(script.texts.at(i), expected.at(i));
    }

    void testPrintCoversEveryPrintableCodeOnce()
    {
        const QStringList texts = testPrintScript().texts;
        QByteArray codes;
        for (int i = 4; i < 18; ++i) {
            const QByteArray page = hexTextToBytes(texts.at(i));
            QCOMPARE(page.size(), 17);
            QCOMPARE(page.at(0), '\x0C');
            codes += page.mid(1);
        }
        QCOMPARE(codes.size(), 0xE0);
        for (int c = 0; c < codes.size(); ++c)
            QCOMPARE(static_cast<unsigned char>(codes.at(c)), 0x20 + c);
    }

    void characterPages_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("page");
        QTest::newRow("first") << 2 << "0C202122232425262728292A2B2C2D2E2F";
        QTest::newRow("row 10") << 10 << "0CA0A1A2A3A4A5A6A7A8A9AAABACADAEAF";
        QTest::newRow("last") << 15 << "0CF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF";
        QTest::newRow("control codes refused") << 1 << "";
        QTest::newRow("row 0") << 0 << "";
        QTest::newRow("negative") << -1 << "";
        QTest::newRow("past the end") << 16 << "";
    }
    void characterPages()
    {
        QFETCH(int, row);
        QFETCH(QString, page);
        QCOMPARE(characterPage(row), page);
    }

    void modes_data()
    {
        QTest::addColumn<bool>("scroll");
        QTest::addColumn<int>("emulation");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<QString>("notice");
        const QString scrollNotice = "0C5363726F6C6C202020202020202020202020";
        const QString overwriteNotice = "0C4F766572777269746520446973706C61792E";
        QTest::newRow("scroll native") << true << 0 << "Set Scroll..."
                                       << QByteArray::fromHex("0B 1B 13 0A 1B 13") << scrollNotice;
        QTest::newRow("scroll ESC/POS") << true << 1 << "Set Scroll..."
                                        << QByteArray::fromHex("0B 1F 03 0A 1F 03") << scrollNotice;
        QTest::newRow("scroll other nonzero")
            << true << 7 << "Set Scroll..." << QByteArray::fromHex("0B1F030A1F03") << scrollNotice;
        QTest::newRow("overwrite native")
            << false << 0 << "ReSet Scroll..." << QByteArray::fromHex("0B 1B 11 0A 1B 11")
            << overwriteNotice;
        QTest::newRow("overwrite ESC/POS")
            << false << 1 << "ReSet Scroll..." << QByteArray::fromHex("0B 1F 01 0A 1F 01")
            << overwriteNotice;
        QTest::newRow("overwrite negative")
            << false << -1 << "ReSet Scroll..." << QByteArray::fromHex("0B1F010A1F01")
            << overwriteNotice;
    }
    void modes()
    {
        QFETCH(bool, scroll);
        QFETCH(int, emulation);
        QFETCH(QByteArray, mode);
        QFETCH(QString, notice);
        const DisplayScript script = scroll ? scrollScript(emulation) : overwriteScript(emulation);
        QFETCH(QString, status);
        QCOMPARE(script.status, status);
        QCOMPARE(script.texts.size(), 2);
        QCOMPARE(script.texts.at(0), bytesToHexText(mode));
        QCOMPARE(script.texts.at(1), notice);
        QCOMPARE(hexTextToBytes(notice).size(), 19); // FF and 18 characters
    }

    void initialise()
    {
        const DisplayScript script = initScript();
        QCOMPARE(script.status, "Display Initialize...");
        QCOMPARE(script.texts, QStringList{"1B40"});
    }

    void demo()
    {
        const DisplayScript run = runDemoTexts();
        QCOMPARE(run.status, "Run Demo...");
        QCOMPARE(run.texts, (QStringList{"0C44656D6F2E2E2E2E", "0C"}));
        QCOMPARE(DemoCommand(), "4408");
        QCOMPARE(hexTextToBytes(SetupFrame(DemoCommand())),
                 QByteArray::fromHex("0C 02 05 44 08 03"));

        const DisplayScript stop = stopDemoScript();
        QCOMPARE(stop.status, "Stop Demo...");
        QCOMPARE(stop.texts, QStringList{"0C53746F702044454D4F21"});
    }

    void everyTextIsCleanHex()
    {
        QStringList all = testPrintScript().texts + initScript().texts + runDemoTexts().texts +
                          stopDemoScript().texts;
        for (int emulation : {0, 1})
            all += scrollScript(emulation).texts + overwriteScript(emulation).texts;
        all << DemoCommand();
        for (const QString &text : std::as_const(all))
            QVERIFY2(isCleanHexText(text), qPrintable(text));
    }
};

QTEST_APPLESS_MAIN(TestDisplayScripts)
#include "tst_displayscripts.moc"
