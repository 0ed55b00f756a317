#include "AppRig.h"
#include "DisplayScripts.h"
#include "DlgIFSet.h"
#include "ModalGuard.h"

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void testPrint_data()
    {
        QTest::addColumn<int>("failing"); // texts that fail before the display takes bytes again
        QTest::newRow("display present") << 0;
        QTest::newRow("every text fails") << 19;
    }
    void testPrint()
    {
        QFETCH(int, failing);
        AppRig r;
        r.loadWithLinkUp();
        r.port.stalled = failing > 0;
        r.prompter.onBox = [&](const FakePrompter::Box &) {
            r.port.stalled = int(r.prompter.boxes.size()) < failing;
        };
        const QByteArrayList texts = testPrintScript().texts;
        const double start = r.clock.now();
        r.w().MenuTest->trigger();
        // A failed text gives one box and the script goes on with the next.
        QCOMPARE(r.prompter.boxes.size(), size_t(failing));
        QByteArray expected;
        for (const QByteArray &text : texts.mid(0, failing))
            expected += text.left(1); // the byte that never left
        QCOMPARE(r.port.written(), expected + texts.mid(failing).join());
        QVERIFY(r.clock.now() - start >= 38.0);
        QVERIFY(!r.shown(r.w().LblSending));
    }

    void demo()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        bool sendingLook = false;
        const auto lookDuringTheFirstWait = [&] {
            r.clock.scheduleIn(1.0, [&] { sendingLook = r.shown(w.LblSending); });
        };
        lookDuringTheFirstWait();
        r.port.stalled = true; // the texts fail; the demo starts all the same
        w.MenuDemo->trigger();
        QCOMPARE(r.prompter.boxes.size(), size_t(3));
        QVERIFY(sendingLook && !r.shown(w.LblSending) && w.TmrStat->isEnabled());
        QVERIFY(!w.MenuDemo->isVisible() && w.MenuStopDemo->isVisible() && !r.port.rts);
        r.port.stalled = false;
        r.port.forget();
        r.clock.advance(0.5);
        lookDuringTheFirstWait();
        w.MenuStopDemo->trigger();
        QCOMPARE(r.port.events.first(), QStringLiteral("rts 1")); // before anything is sent
        QCOMPARE(r.port.written(), QByteArray::fromHex("0C53746F702044454D4F21"));
        QVERIFY(sendingLook && !r.shown(w.LblSending) && w.TmrStat->isEnabled());
        QVERIFY(w.MenuDemo->isVisible() && !w.MenuStopDemo->isVisible());
        // Running again with the display there: RTS drops before the framed demo command only.
        r.port.forget();
        r.clock.advance(0.5);
        w.MenuDemo->trigger();
        QCOMPARE(r.port.written(), QByteArray::fromHex("0C44656D6F2E2E2E2E0C0C0205440803"));
        QVERIFY(r.port.bytes.front().rts && !r.port.bytes.back().rts);
    }

    void displayModes_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("emulation");
        QTest::addColumn<QByteArray>("wire");
        const QByteArray scroll = "\x0cScroll" + QByteArray(12, ' ');
        const QByteArray overwrite = "\x0cOverwrite Display.";
        QTest::newRow("scroll native")
            << "MenuScroll" << 0 << QByteArray::fromHex("0B1B130A1B13") + scroll;
        QTest::newRow("scroll ESC/POS")
            << "MenuScroll" << 1 << QByteArray::fromHex("0B1F030A1F03") + scroll;
        QTest::newRow("overwrite ESC/POS")
            << "MenuOverWrite" << 1 << QByteArray::fromHex("0B1F010A1F01") + overwrite;
        QTest::newRow("init ESC/POS") << "MenuInit" << 1 << QByteArray("\x1b@");
    }
    void displayModes()
    {
        QFETCH(QString, item);
        QFETCH(int, emulation);
        QFETCH(QByteArray, wire);
        AppRig r;
        r.loadWithLinkUp();
        r.define.DspEmulation = emulation;
        auto *action = r.w().findChild<QAction *>(item);
        action->setVisible(true);
        action->trigger();
        QCOMPARE(r.port.written(), wire);
    }

    void interfaceSet_data()
    {
        QTest::addColumn<int>("how"); // 0 Set, 1 Cancel, 2 Set with a port that won't open
        QTest::newRow("set") << 0;
        QTest::newRow("cancel") << 1;
        QTest::newRow("set, port won't open") << 2;
    }
    void interfaceSet()
    {
        QFETCH(int, how);
        AppRig r;
        r.loadWithLinkUp();
        r.port.forget();
        if (how == 2)
            r.port.refuseOpen = QStringLiteral("no such device");
        // Everything is stopped while the dialog is open, however long it stays.
        QTimer poll;
        poll.start(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const ModalGuard guard;
            auto *dialog = qobject_cast<DlgIFSet *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            r.clock.advance(2.0);
            QVERIFY(!r.port.portOpen() && !r.w().TmrStat->isEnabled());
            QVERIFY(!r.shown(r.w().CmdSend) && !r.w().MenuTest->isEnabled());
            QCOMPARE(r.status(), QStringLiteral(" Set Interface"));
            dialog->findChild<QComboBox *>(QStringLiteral("CboPort"))->setCurrentIndex(2);
            dialog->findChild<QComboBox *>(QStringLiteral("CboBaud"))->setCurrentIndex(6);
            if (how == 1)
                dialog->reject();
            else
                dialog->findChild<QPushButton *>(QStringLiteral("CmdSet"))->click();
        });
        const QStringList panelBefore = r.w().PicIFStat->lines();
        r.w().MenuIFSet->trigger();
        const bool set = how != 1;
        QCOMPARE(r.define.ComPort * 100000 + r.define.ComBaud, set ? 319200 : 109600);
        QCOMPARE(r.w().PicIFStat->lines(),
                 set ? QStringList({"  COM3:", "  19200bps", "  N - 8 - 1"}) : panelBefore);
        QCOMPARE(r.port.portOpen(), how != 2);
        // Set chooses the device anew; Cancel re-opens the one chosen before.
        const QStringList opens[] = {{"choose COM3", "open 19200,N,8,1 COM3"},
                                     {"open 9600,N,8,1 COM1"},
                                     {"choose COM3", "refused"}};
        QCOMPARE(r.port.events.filter(QRegularExpression("^(choose|open|refused)")), opens[how]);
        QVERIFY(r.prompter.boxes.empty() && !QFile::exists(r.iniPath()));
        r.clock.advance(0.5);
        QCOMPARE(r.status(), how == 2 ? " Communication NG" : " Communication OK");
    }
};

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
