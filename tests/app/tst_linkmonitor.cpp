#include "AppRig.h"
#include "VersionInfo.h"

#include <QtTest>

class TestLinkMonitor : public QObject
{
    Q_OBJECT

    static int shownArrow(AppRig &r)
    {
        int shown = -1;
        for (int i = 0; i < 3; ++i) {
            if (r.shown(r.w().ImgArrow[i])) {
                if (shown != -1)
                    return -2; // more than one
                shown = i;
            }
        }
        return shown;
    }

    static bool sendingItemsEnabled(AppRig &r)
    {
        return r.w().MenuTest->isEnabled() && r.w().MenuInit->isEnabled() &&
               r.w().MenuDemo->isEnabled();
    }

private slots:
    void linkUpLookSteps()
    {
        AppRig r;
        QVERIFY(r.load());
        QCOMPARE(r.status(), QStringLiteral(" "));
        r.clock.advance(0.49);
        QVERIFY(r.shown(r.w().LineX1)); // nothing before the first tick
        r.clock.advance(0.01);
        QVERIFY(!r.shown(r.w().LineX1) && !r.shown(r.w().LineX2));
        QVERIFY(r.shown(r.w().CmdSend));
        QVERIFY(sendingItemsEnabled(r));
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
        // One arrow at a time, stepping from the PC towards the display.
        QList<int> arrows{shownArrow(r)};
        for (int tick = 0; tick < 4; ++tick) {
            r.clock.advance(0.5);
            arrows << shownArrow(r);
        }
        QCOMPARE(arrows, QList<int>({1, 2, 0, 1, 2}));
    }

    void linkDownAndBackKeepsTheStatusLine()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.dsr = false;
        r.clock.advance(0.5);
        QCOMPARE(shownArrow(r), -1);
        QVERIFY(r.shown(r.w().LineX1) && r.shown(r.w().LineX2));
        QVERIFY(!r.shown(r.w().CmdSend));
        QVERIFY(!r.w().MenuTest->isEnabled() && !r.w().MenuInit->isEnabled() &&
                !r.w().MenuDemo->isEnabled());
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
        // The arrow index was kept: the next arrow on reconnecting follows the last one.
        r.port.dsr = true;
        r.clock.advance(0.5);
        QCOMPARE(shownArrow(r), 2);
        QVERIFY(r.shown(r.w().CmdSend));
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
    }

    void displayMissingAtStartUp()
    {
        AppRig r;
        r.port.dsr = false;
        QVERIFY(r.load());
        r.clock.advance(0.5);
        QCOMPARE(r.status(), QStringLiteral(" Communication NG"));
        QVERIFY(r.shown(r.w().LineX1));
        QVERIFY(!r.shown(r.w().CmdSend));
        QVERIFY(!r.w().MenuTest->isEnabled());
    }

    void closedPortShowsTheLinkDown()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.setPortOpen(false); // a failed re-open, a vanished adapter
        r.clock.advance(0.5);
        QVERIFY(!r.shown(r.w().CmdSend));
        QVERIFY(r.shown(r.w().LineX1));
        QVERIFY(r.prompter.boxes.empty());
    }

    void sendingLook_data()
    {
        QTest::addColumn<bool>("linkUp");
        QTest::newRow("over the link-up look") << true;
        QTest::newRow("over the link-down look") << false;
    }
    void sendingLook()
    {
        QFETCH(bool, linkUp);
        AppRig r;
        r.port.dsr = linkUp;
        QVERIFY(r.load());
        r.clock.advance(0.5);
        FrmMain &w = r.w();
        const bool crossBefore = r.shown(w.LineX1);
        w.RawSend = true;
        w.BeginSending();
        QVERIFY(!w.RawSend);
        QVERIFY(!w.TmrStat->isEnabled());
        QVERIFY(!r.shown(w.CmdSend));
        QVERIFY(r.shown(w.LblSending));
        QCOMPARE(w.cursor().shape(), Qt::WaitCursor);
        for (QLabel *arrow : w.ImgArrow)
            QVERIFY(r.shown(arrow));
        QCOMPARE(r.shown(w.LineX1), crossBefore);
        // Every menu command but Exit is refused while the look lasts.
        for (QAction *item : {w.MenuIFSet, w.MenuTest, w.MenuDemo, w.MenuStopDemo, w.MenuInit,
                              w.MenuScroll, w.MenuOverWrite, w.MenuHVersion})
            QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
        QVERIFY(w.MenuEnd->isEnabled());
        r.clock.advance(2); // no tick while sending
        QVERIFY(r.shown(w.LblSending));

        w.ShowStatus(QStringLiteral("1B40"));
        w.EndSending();
        QVERIFY(!r.shown(w.LblSending));
        QCOMPARE(shownArrow(r), -1);
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(w.TmrStat->isEnabled());
        QVERIFY(w.MenuIFSet->isEnabled() && w.MenuHVersion->isEnabled());
        QCOMPARE(w.MenuTest->isEnabled(), linkUp);
        QVERIFY(!r.shown(w.CmdSend)); // the monitor brings it back
        r.clock.advance(0.5);
        QCOMPARE(r.shown(w.CmdSend), linkUp);
        QCOMPARE(r.status(), linkUp ? QStringLiteral(" Communication OK")
                                    : QStringLiteral(" Communication NG"));
    }

    void versionMessage_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<QString>("line");
        QTest::newRow("1.0") << 1 << 0 << "       Version  1.00";
        QTest::newRow("1.7") << 1 << 7 << "       Version  1.07";
        QTest::newRow("1.12") << 1 << 12 << "       Version  1.12";
        QTest::newRow("1.123") << 1 << 123 << "       Version  1.23";
        QTest::newRow("12.5") << 12 << 5 << "       Version  12.05";
    }
    void versionMessage()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(QString, line);
        QCOMPARE(::versionMessage("Velodisp", major, minor, "(C) Us", "Notes"),
                 "Velodisp\n\n" + line + "\n\n(C) Us\n    Notes");
    }

    void versionBox()
    {
        AppRig r;
        r.loadWithLinkUp();
        bool sendShownDuringBox = true;
        r.prompter.onBox = [&](const FakePrompter::Box &) {
            sendShownDuringBox = r.shown(r.w().CmdSend) || r.w().MenuTest->isEnabled();
        };
        r.w().MenuHVersion->trigger();
        QVERIFY(!sendShownDuringBox);
        QCOMPARE(r.prompter.boxes.size(), size_t(1));
        const FakePrompter::Box &box = r.prompter.boxes.front();
        QVERIFY(!box.warning);
        QCOMPARE(box.title, QStringLiteral("Version Information"));
        QVERIFY(box.text.startsWith(QStringLiteral("Velodisp\n\n       Version  1.00\n\n")));
        QCOMPARE(r.status(), QStringLiteral(" Version Information"));
        QVERIFY(!r.w().LinkStatusShown);
        r.clock.advance(0.5);
        QVERIFY(r.shown(r.w().CmdSend));
        QVERIFY(r.w().MenuTest->isEnabled());
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
    }
};

QTEST_MAIN(TestLinkMonitor)
#include "tst_linkmonitor.moc"
