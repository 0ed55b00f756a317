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
        r.action("MenuTest")->trigger();
        // A failed text gives one box and the script goes on with the next.
        QCOMPARE(r.prompter.boxes.size(), size_t(failing));
        QByteArray expected;
        for (const QByteArray &text : texts.mid(0, failing))
            expected += text.left(1); // the byte that never left
        QCOMPARE(r.port.written(), expected + texts.mid(failing).join());
        QVERIFY(r.clock.now() - start >= 38.0);
        QVERIFY(!r.shown("LblSending"));
        r.clock.advance(0.5), r.port.forget(), r.w().close(); // the farewell goes framed again
        QVERIFY(r.port.written().startsWith("\x0c\x02\x05"));
    }

    void demo()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.recordStatuses();
        bool sendingLook = false;
        const auto lookDuringTheFirstWait = [&] {
            r.clock.scheduleIn(1.0, [&] { sendingLook = r.shown("LblSending"); });
        };
        lookDuringTheFirstWait();
        r.port.stalled = true; // the texts fail; the demo starts all the same
        r.action("MenuDemo")->trigger();
        QCOMPARE(r.prompter.boxes.size(), size_t(3));
        QVERIFY(r.statuses.contains(" Run Demo..."));
        QVERIFY(sendingLook);
        QCOMPARE(r.shownOf({"LblSending", "MenuDemo", "MenuStopDemo"}),
                 QStringList{"MenuStopDemo"});
        QVERIFY(!r.port.rts);
        r.port.stalled = false;
        r.port.forget();
        r.clock.advance(0.5);
        QVERIFY(r.shown("CmdSend")); // the link monitor runs again
        lookDuringTheFirstWait();
        r.action("MenuStopDemo")->trigger();
        QCOMPARE(r.port.events.first(), QStringLiteral("rts 1")); // before anything is sent
        QCOMPARE(r.port.written(), QByteArray::fromHex("0C53746F702044454D4F21"));
        QVERIFY(sendingLook);
        QCOMPARE(r.shownOf({"LblSending", "MenuDemo", "MenuStopDemo"}), QStringList{"MenuDemo"});
        // Running again with the display there: RTS drops before the framed demo command only.
        r.port.forget();
        r.clock.advance(0.5);
        r.action("MenuDemo")->trigger();
        QCOMPARE(r.port.written(), QByteArray::fromHex("0C44656D6F2E2E2E2E0C0C0205440803"));
        QVERIFY(r.port.bytes.front().rts);
        QVERIFY(!r.port.bytes.back().rts);
    }

    void displayModes_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("emulation");
        QTest::addColumn<QByteArray>("wire");
        const QByteArray scroll = "\x0cScroll" + QByteArray(12, ' ');
        const QByteArray overwrite = "\x0cOverwrite Display.";
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
        QAction *action = r.action(qPrintable(item));
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
            QVERIFY(!r.port.portOpen()); // no tick re-opened it
            QCOMPARE(r.shownOf({"CmdSend"}) + r.enabledOf({"MenuTest"}), QStringList());
            QCOMPARE(r.status(), QStringLiteral(" Set Interface"));
            dialog->findChild<QComboBox *>(QStringLiteral("CboPort"))->setCurrentIndex(2);
            dialog->findChild<QComboBox *>(QStringLiteral("CboBaud"))->setCurrentIndex(6);
            if (how == 1)
                dialog->reject();
            else
                dialog->findChild<QPushButton *>(QStringLiteral("CmdSet"))->click();
        });
        const auto *panel = r.control<PictureBox>(QStringLiteral("PicIFStat"));
        const QStringList panelBefore = panel->lines();
        r.action("MenuIFSet")->trigger();
        const bool set = how != 1;
        QCOMPARE(r.define.ComPort, set ? 3 : 1);
        QCOMPARE(r.define.ComBaud, set ? 19200 : 9600);
        QCOMPARE(panel->lines(),
                 set ? QStringList({"  COM3:", "  19200bps", "  N - 8 - 1"}) : panelBefore);
        QCOMPARE(r.port.portOpen(), how != 2);
        // Set chooses the device anew; Cancel re-opens the one chosen before.
        const QStringList opens[] = {{"choose COM3", "open 19200,N,8,1 COM3"},
                                     {"open 9600,N,8,1 COM1"},
                                     {"choose COM3", "refused"}};
        QCOMPARE(r.port.events.filter(QRegularExpression("^(choose|open|refused)")), opens[how]);
        QVERIFY(r.prompter.boxes.empty());
        QVERIFY(!QFile::exists(r.iniPath()));
        r.clock.advance(0.5);
        QCOMPARE(r.status(), how == 2 ? " Communication NG" : " Communication OK");
    }
};

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
