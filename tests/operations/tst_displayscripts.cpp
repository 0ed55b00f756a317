#include "DisplayScripts.h"

#include <QtTest>

class TestDisplayScripts : public QObject
{
    Q_OBJECT

private slots:
    void testPrint()
    {
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
        QCOMPARE(testPrintScript().texts, expected);
        // Rows outside 2..15 would put control codes on the display.
        QVERIFY(characterPage(1).isEmpty() && characterPage(16).isEmpty());
    }

    // The window-level tests check the other scripts' bytes; the status lines are seen only here.
    void statusLines()
    {
        QCOMPARE((QStringList{testPrintScript().status, initScript().status, scrollScript(1).status,
                              overwriteScript(0).status, runDemoTexts().status,
                              stopDemoScript().status}),
                 (QStringList{"Test Print Out...", "Display Initialize...", "Set Scroll...",
                              "ReSet Scroll...", "Run Demo...", "Stop Demo..."}));
    }
};

QTEST_APPLESS_MAIN(TestDisplayScripts)
#include "tst_displayscripts.moc"
