#include "AppRig.h"
#include "VersionInfo.h"

#include <QtTest>

class TestLinkMonitor : public QObject
{
    Q_OBJECT

    // The arrow shown, -1 for none, -2 for more than one.
    static int shownArrow(AppRig &r)
    {
        int shown = -1;
        for (int i = 0; i < 3; ++i) {
            if (r.shown(r.w().ImgArrow[i]))
                shown = shown == -1 ? i : -2;
        }
        return shown;
    }
    // 1 for the link-up look, 0 for the link-down look, -1 for a mixture.
    static int look(AppRig &r)
    {
        FrmMain &w = r.w();
        const bool up = r.shown(w.CmdSend) && w.MenuTest->isEnabled() && w.MenuInit->isEnabled() &&
                        w.MenuDemo->isEnabled() && !r.shown(w.LineX1) && !r.shown(w.LineX2);
        const bool down = !r.shown(w.CmdSend) && !w.MenuTest->isEnabled() &&
                          !w.MenuInit->isEnabled() && !w.MenuDemo->isEnabled() &&
                          r.shown(w.LineX1) && r.shown(w.LineX2) && shownArrow(r) == -1;
        return up == down ? -1 : int(up);
    }

private slots:
    void looksFollowTheDsrLine()
    {
        AppRig r;
        QVERIFY(r.load());
        r.clock.advance(0.49);
        QVERIFY(!r.shown(r.w().CmdSend) && r.shown(r.w().LineX1)); // nothing before the first tick
        r.clock.advance(0.01);
        QCOMPARE(look(r), 1);
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
        // One arrow at a time, stepping from the PC towards the display; unplugged and back,
        // the status line keeps its text and the arrow goes on from where it was.
        QList<int> arrows{shownArrow(r)};
        for (bool dsr : {true, true, false, true, true}) {
            r.port.dsr = dsr;
            r.clock.advance(0.5);
            QCOMPARE(look(r), int(dsr));
            arrows << shownArrow(r);
        }
        QCOMPARE(arrows, QList<int>({1, 2, 0, -1, 1, 2}));
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
    }

    void linkDown_data()
    {
        QTest::addColumn<bool>("portClosed");
        QTest::newRow("display not connected") << false;
        QTest::newRow("port closed") << true;
    }
    void linkDown()
    {
        QFETCH(bool, portClosed);
        AppRig r;
        r.port.dsr = portClosed;
        QVERIFY(r.load());
        if (portClosed) {
            r.port.setPortOpen(false); // a failed re-open, a vanished adapter
            r.port.present = false;
        }
        r.clock.advance(0.5);
        QCOMPARE(look(r), 0);
        QCOMPARE(r.status(), QStringLiteral(" Communication NG"));
        QVERIFY(r.prompter.boxes.empty());
    }

    void lostPortComesBack()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.define.ComBaud = 19200; // chosen before the port was lost
        const auto opens = [&r] {
            return r.port.events.filter(QRegularExpression("^(open|refused)")).size();
        };
        // Lost during the test print, back soon after: nothing re-opens it until the print is over.
        r.clock.scheduleIn(3.0, [&] { r.port.setPortOpen(false); });
        r.clock.scheduleIn(9.0, [&] { r.port.present = false; });
        r.clock.scheduleIn(12.0, [&] { r.port.present = true; });
        r.w().MenuTest->trigger();
        QCOMPARE(opens(), 0);
        // Nothing there: one look per tick, no open, the link-down look.
        r.port.present = false;
        r.port.availabilityChecks = 0;
        r.clock.advance(5.0);
        QCOMPARE(r.port.availabilityChecks, 10);
        QCOMPARE(opens(), 0);
        QCOMPARE(look(r), 0);
        // There but busy: one quiet try per tick.
        r.port.present = true;
        r.port.refuseOpen = QStringLiteral("busy");
        r.clock.advance(1.0);
        QCOMPARE(opens(), 2);
        // Free: open at the settings chosen before, buffers emptied, the link-up look.
        r.port.refuseOpen.reset();
        r.port.forget();
        const size_t boxes = r.prompter.boxes.size();
        r.clock.advance(0.5);
        QCOMPARE(r.port.events, QStringList({"open 19200,N,8,1 COM1", "clear in", "clear out"}));
        QCOMPARE(look(r), 1);
        QCOMPARE(r.prompter.boxes.size(), boxes);
        // A healthy port is left alone.
        r.clock.advance(1.0);
        QCOMPARE(opens(), 1);
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
        w.RawSend = true;
        w.BeginSending();
        QVERIFY(!w.RawSend && !w.TmrStat->isEnabled() && !r.shown(w.CmdSend));
        QVERIFY(r.shown(w.LblSending));
        QCOMPARE(w.cursor().shape(), Qt::WaitCursor);
        QCOMPARE(shownArrow(r), -2);
        QCOMPARE(r.shown(w.LineX1), !linkUp); // the cross is left as it was
        // Every menu command but Exit is refused while the look lasts.
        for (QAction *item : {w.MenuIFSet, w.MenuTest, w.MenuDemo, w.MenuInit, w.MenuHVersion})
            QVERIFY(!item->isEnabled());
        QVERIFY(w.MenuEnd->isEnabled());
        r.clock.advance(2); // no tick while sending
        QVERIFY(r.shown(w.LblSending));

        w.ShowStatus(QStringLiteral("1B40"));
        w.EndSending();
        QVERIFY(!r.shown(w.LblSending) && shownArrow(r) == -1 && !r.shown(w.CmdSend));
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(w.MenuIFSet->isEnabled() && w.MenuHVersion->isEnabled());
        QCOMPARE(w.MenuTest->isEnabled(), linkUp);
        // The next tick brings the look back and rewrites the status line.
        r.clock.advance(0.5);
        QCOMPARE(look(r), int(linkUp));
        QCOMPARE(r.status(), linkUp ? " Communication OK" : " Communication NG");
    }

    void versionMessage_data()
    {
        QTest::addColumn<int>("minor");
        QTest::addColumn<QString>("version");
        QTest::newRow("1.0") << 0 << " 1.00";
        QTest::newRow("1.7") << 7 << " 1.07";
        QTest::newRow("1.123") << 123 << " 1.23";
    }
    void versionMessage()
    {
        QFETCH(int, minor);
        QFETCH(QString, version);
        QCOMPARE(::versionMessage("Velodisp", 1, minor, "(C) Us", "Notes"),
                 "Velodisp\n\n       Version " + version + "\n\n(C) Us\n    Notes");
    }

    void versionBox()
    {
        AppRig r;
        r.loadWithLinkUp();
        bool upDuringBox = true;
        r.prompter.onBox = [&](const FakePrompter::Box &) {
            upDuringBox = r.shown(r.w().CmdSend) || r.w().MenuTest->isEnabled();
        };
        r.w().MenuHVersion->trigger();
        QVERIFY(!upDuringBox);
        QCOMPARE(r.prompter.boxes.size(), size_t(1));
        QVERIFY(!r.prompter.boxes.front().warning);
        QCOMPARE(r.prompter.boxes.front().title, QStringLiteral("Version Information"));
        QVERIFY(r.prompter.boxes.front().text.startsWith("Velodisp\n\n       Version  1.00\n\n"));
        QCOMPARE(r.status(), QStringLiteral(" Version Information"));
        r.clock.advance(0.5);
        QCOMPARE(look(r), 1);
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
    }
};

QTEST_MAIN(TestLinkMonitor)
#include "tst_linkmonitor.moc"
