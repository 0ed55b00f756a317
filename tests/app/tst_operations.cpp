#include "AppRig.h"
#include "DisplayScripts.h"
#include "DlgIFSet.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>

class TestOperations : public QObject
{
    Q_OBJECT

    // Acts on the Interface Set dialog once it is shown.
    static void whenDialogOpens(FrmMain &window, std::function<void(QDialog *)> act)
    {
        auto *poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, &window, act] {
            auto *dialog = window.findChild<DlgIFSet *>();
            if (dialog && dialog->isVisible()) {
                poll->deleteLater();
                poll->stop();
                act(dialog);
            }
        });
        poll->start(0);
    }

private slots:
    void testPrintSendsItsNineteenTexts()
    {
        AppRig r;
        r.loadWithLinkUp();
        const DisplayScript script = testPrintScript();
        QCOMPARE(script.texts.size(), 19);
        const double start = r.clock.now();
        r.w().MenuTest->trigger();
        QCOMPARE(r.port.written(), AppRig::wire(script.texts));
        QVERIFY(r.clock.now() - start >= 38.0);
        QVERIFY(r.prompter.boxes.empty());
        // The character pages begin with 0x20, 0x30 ... 0xF0, each after FF.
        for (int row = 2; row <= 15; ++row)
            QCOMPARE(hexTextToBytes(script.texts[2 + row]).left(2),
                     QByteArray("\x0c") + char(16 * row));
    }

    void failedTextDoesNotStopTheTestPrint()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.stalled = true;
        // The display starts taking bytes again once the first box is shown.
        r.prompter.onBox = [&](const FakePrompter::Box &) { r.port.stalled = false; };
        r.w().MenuTest->trigger();
        QCOMPARE(r.prompter.titles(), QStringList{"Send Error!!"});
        const QStringList texts = testPrintScript().texts;
        QCOMPARE(r.port.written(), QByteArray("\x0c") + AppRig::wire(texts.mid(1)));
    }

    void everyTextFailingGivesOneBoxEach()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.stalled = true;
        r.w().MenuTest->trigger();
        QCOMPARE(r.prompter.boxes.size(), size_t(19));
        QVERIFY(!r.shown(r.w().LblSending));
    }

    void runAndStopDemo()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.MenuDemo->trigger();
        QCOMPARE(r.port.written(), QByteArray::fromHex("0C44656D6F2E2E2E2E0C0C02054408") + '\x03');
        // RTS dropped before the framed demo command, not before the texts.
        QVERIFY(r.port.bytes.front().rts);
        QVERIFY(!r.port.bytes.back().rts);
        QVERIFY(!w.MenuDemo->isVisible());
        QVERIFY(w.MenuStopDemo->isVisible());
        QVERIFY(w.MenuStopDemo->isEnabled());

        r.port.forget();
        r.clock.advance(0.5);
        w.MenuStopDemo->trigger();
        QCOMPARE(r.port.written(), QByteArray::fromHex("0C53746F702044454D4F21"));
        QVERIFY(r.port.bytes.front().rts);
        QCOMPARE(r.port.events.first(), QStringLiteral("rts 1"));
        QVERIFY(w.MenuDemo->isVisible());
        QVERIFY(!w.MenuStopDemo->isVisible());
    }

    void demoStateChangesEvenWhenTheTextsFail()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.stalled = true;
        r.w().MenuDemo->trigger();
        QCOMPARE(r.prompter.boxes.size(), size_t(3));
        QVERIFY(r.w().MenuStopDemo->isVisible());
        QVERIFY(!r.port.rts);
    }

    void displayModes_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("emulation");
        QTest::addColumn<QByteArray>("wire");
        const QByteArray scrollNotice = "\x0cScroll" + QByteArray(12, ' ');
        const QByteArray overwriteNotice = "\x0cOverwrite Display.";
        QTest::newRow("scroll native")
            << "MenuScroll" << 0 << QByteArray::fromHex("0B1B130A1B13") + scrollNotice;
        QTest::newRow("scroll ESC/POS")
            << "MenuScroll" << 1 << QByteArray::fromHex("0B1F030A1F03") + scrollNotice;
        QTest::newRow("overwrite native")
            << "MenuOverWrite" << 0 << QByteArray::fromHex("0B1B110A1B11") + overwriteNotice;
        QTest::newRow("overwrite ESC/POS")
            << "MenuOverWrite" << 1 << QByteArray::fromHex("0B1F010A1F01") + overwriteNotice;
        QTest::newRow("init native") << "MenuInit" << 0 << QByteArray("\x1b@");
        QTest::newRow("init ESC/POS") << "MenuInit" << 1 << QByteArray("\x1b@");
    }
    void displayModes()
    {
        QFETCH(QString, item);
        QFETCH(int, emulation);
        AppRig r;
        r.loadWithLinkUp();
        r.define.DspEmulation = emulation;
        auto *action = r.w().findChild<QAction *>(item);
        QVERIFY(action);
        action->setVisible(true);
        action->trigger();
        QFETCH(QByteArray, wire);
        QCOMPARE(r.port.written(), wire);
        QVERIFY(r.prompter.boxes.empty());
    }

    void interfaceSetWithSet()
    {
        AppRig r;
        r.loadWithLinkUp();
        whenDialogOpens(r.w(), [&](QDialog *dialog) {
            QCOMPARE(r.status(), QStringLiteral(" Set Interface"));
            QVERIFY(!r.port.portOpen());
            QVERIFY(!r.shown(r.w().CmdSend));
            QVERIFY(!r.w().MenuTest->isEnabled());
            auto *baud = dialog->findChild<QComboBox *>(QStringLiteral("CboBaud"));
            baud->setCurrentIndex(6);
            dialog->findChild<QPushButton *>(QStringLiteral("CmdSet"))->click();
        });
        r.w().MenuIFSet->trigger();
        QCOMPARE(r.define.ComBaud, 19200);
        QVERIFY(!r.define.IFSetCancelled);
        QCOMPARE(r.port.events,
                 QStringList({"close", "open 19200,N,8,1 COM1", "clear in", "clear out"}));
        QCOMPARE(r.w().PicIFStat->lines().at(1), QStringLiteral("  19200bps"));
        QVERIFY(!QFile::exists(r.iniPath()));
        QVERIFY(r.w().TmrStat->isEnabled());
        r.clock.advance(0.5);
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
        QVERIFY(r.shown(r.w().CmdSend));
    }

    void interfaceSetCancelled_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::newRow("port open before") << true;
        QTest::newRow("port closed before") << false;
    }
    void interfaceSetCancelled()
    {
        QFETCH(bool, openBefore);
        AppRig r;
        r.loadWithLinkUp();
        if (!openBefore)
            r.port.setPortOpen(false);
        r.port.forget();
        whenDialogOpens(r.w(), [](QDialog *dialog) {
            dialog->findChild<QComboBox *>(QStringLiteral("CboPort"))->setCurrentIndex(3);
            dialog->reject();
        });
        const QStringList panel = r.w().PicIFStat->lines();
        r.w().MenuIFSet->trigger();
        QCOMPARE(r.define.ComPort, 1);
        QVERIFY(r.define.IFSetCancelled);
        QVERIFY(r.port.portOpen());
        QCOMPARE(r.port.events.last(2), QStringList({"clear in", "clear out"}));
        QCOMPARE(r.w().PicIFStat->lines(), panel);
    }

    void interfaceSetWithAPortThatWontOpen()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.refuseOpen = QStringLiteral("no such device");
        whenDialogOpens(r.w(), [](QDialog *dialog) {
            dialog->findChild<QComboBox *>(QStringLiteral("CboPort"))->setCurrentIndex(2);
            dialog->findChild<QPushButton *>(QStringLiteral("CmdSet"))->click();
        });
        r.w().MenuIFSet->trigger();
        QVERIFY(r.prompter.boxes.empty());
        QCOMPARE(r.define.ComPort, 3);
        QCOMPARE(r.w().PicIFStat->lines().at(0), QStringLiteral("  COM3:"));
        QVERIFY(r.w().TmrStat->isEnabled());
        r.clock.advance(0.5);
        QVERIFY(r.shown(r.w().LineX1));
        QVERIFY(!r.shown(r.w().CmdSend));
    }

    void closingTheWindowDuringTheTestPrint()
    {
        AppRig r;
        r.loadWithLinkUp();
        const QStringList texts = testPrintScript().texts;
        // Each text is followed by its 2-second settle wait: close in the middle of text 7's.
        const double start = r.clock.now();
        r.clock.schedule(start + 6 * 2.0 + 1.0, [&] { r.w().close(); });
        r.w().MenuTest->trigger();
        QVERIFY(r.w().unloaded());
        // No farewell (Send was hidden), nothing after text 7, no box, the port closed.
        QCOMPARE(r.port.written(), AppRig::wire(texts.mid(0, 7)));
        QVERIFY(r.prompter.boxes.empty());
        QVERIFY(!r.port.portOpen());
        QVERIFY(!r.w().TmrStat->isEnabled());
        QCOMPARE(r.status(), QStringLiteral(" End of Customer Display Set"));
        QVERIFY(r.clock.now() - start < 6 * 2.0 + 1.0 + 1.0 + 0.01);
        QVERIFY(!QFile::exists(r.iniPath()));
    }

    void portVanishingDuringTheTestPrint()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.vanishAfterBytes = 30;
        r.w().MenuTest->trigger();
        // Every later text fails at once on the closed port, one box each.
        QCOMPARE(r.port.bytes.size(), size_t(30));
        QVERIFY(r.prompter.boxes.size() >= 15);
        r.clock.advance(0.5);
        QVERIFY(r.shown(r.w().LineX1));
        QVERIFY(!r.shown(r.w().CmdSend));
    }
};

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
