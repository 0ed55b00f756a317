#include "AppRig.h"
#include "MessageBoxPrompter.h"
#include "RunWindow.h"
#include "TerminationSignals.h"

#include <csignal>

class TestLinkMonitor : public QObject
{
    Q_OBJECT

private slots:
    void looksAndStatusLine()
    {
        AppRig r;
        r.port.dsr = false;
        QVERIFY(r.load());
        r.clock.advance(0.49);
        QCOMPARE(r.status(), QStringLiteral(" ")); // nothing before the first tick
        r.clock.advance(0.01);
        QCOMPARE(r.look(), "down");
        QCOMPARE(r.status(), QStringLiteral(" Communication NG"));
        // One arrow at a time, stepping from the PC towards the display; unplugged and back, the
        // arrow goes on from where it was. The status line keeps its text all the while.
        QList<int> arrows;
        for (bool dsr : {true, true, true, false, true, true, false}) {
            r.port.dsr = dsr;
            r.clock.advance(0.5);
            QCOMPARE(r.look(), dsr ? "up" : "down");
            arrows << r.shownArrow();
        }
        QCOMPARE(arrows, QList<int>({1, 2, 0, -1, 1, 2, -1}));
        QCOMPARE(r.status(), QStringLiteral(" Communication NG"));
        // Sending: all arrows, the hourglass, the cross left as it was; every menu command but
        // Exit refused, and no tick.
        FrmMain &w = r.w();
        w.BeginSending();
        QCOMPARE(r.shownArrow(), -2);
        QCOMPARE(w.cursor().shape(), Qt::WaitCursor);
        r.clock.advance(2);
        QCOMPARE(r.shownOf({"LblSending", "CmdSend", "LineX1"}),
                 QStringList({"LblSending", "LineX1"}));
        const QStringList menu{"MenuIFSet", "MenuTest",     "MenuDemo",
                               "MenuInit",  "MenuHVersion", "MenuEnd"};
        QCOMPARE(r.enabledOf(menu), QStringList{"MenuEnd"});
        w.EndSending();
        QCOMPARE(r.shownArrow(), -1);
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(r.shownOf({"LblSending", "CmdSend"}), QStringList());
        QCOMPARE(r.enabledOf(menu), QStringList({"MenuIFSet", "MenuHVersion", "MenuEnd"}));
        // The next tick brings the look back and rewrites the status line.
        r.port.dsr = true;
        r.clock.advance(0.5);
        QCOMPARE(r.look(), "up");
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
        // The version box is shown with the sending look; the tick after it says the link again.
        bool upDuringBox = true;
        r.prompter.onBox = [&](auto &) { upDuringBox = r.action("MenuTest")->isEnabled(); };
        r.action("MenuHVersion")->trigger();
        QVERIFY(!upDuringBox);
        QCOMPARE(r.prompter.titles(), QStringList{"Version Information"});
        QVERIFY(r.prompter.boxes.front().text.startsWith("Velodisp\n\n       Version  1.00\n\n"));
        QCOMPARE(r.status(), QStringLiteral(" Version Information"));
        r.clock.advance(0.5);
        QCOMPARE(r.look(), "up");
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
    }

    // While Send is hidden the focus waits on the selected row, and goes back to Send when it
    // shows, unless the user has moved it.
    void focusHome()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QWidget *send = r.control(QStringLiteral("CmdSend"));
        QWidget *row = r.option("OptSetSel", 2);
        send->setFocus();
        w.BeginSending();
        QCOMPARE(QApplication::focusWidget(), row);
        w.EndSending();
        r.clock.advance(0.5);
        QCOMPARE(QApplication::focusWidget(), send);
        r.port.dsr = false;
        r.clock.advance(0.5);
        QCOMPARE(QApplication::focusWidget(), row);
        row = r.control(QStringLiteral("CboEmulation"));
        row->setFocus();
        r.port.dsr = true;
        r.clock.advance(0.5);
        QCOMPARE(QApplication::focusWidget(), row);
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
        r.action("MenuTest")->trigger();
        QCOMPARE(opens(), 0);
        // Nothing there: one look per tick, no open, the link-down look.
        r.port.present = false;
        r.port.availabilityChecks = 0;
        r.clock.advance(5.0);
        QCOMPARE(r.port.availabilityChecks, 10);
        QCOMPARE(opens(), 0);
        QCOMPARE(r.look(), "down");
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
        QCOMPARE(r.look(), "up");
        QCOMPARE(r.prompter.boxes.size(), boxes);
        QCOMPARE(r.status(), QStringLiteral(" Communication OK"));
        // A healthy port is left alone.
        r.clock.advance(1.0);
        QCOMPARE(opens(), 1);
    }

    // A termination signal ends the program through the window's shut-down, also while starting;
    // in a Send whose item left whole the file is saved first; from then on no box waits for OK.
    void terminationEndsTheRun_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM while starting") << "starting" << SIGTERM;
        QTest::newRow("SIGINT, window up") << "up" << SIGINT;
        QTest::newRow("SIGHUP in a Send's settle wait") << "sending" << SIGHUP;
        QTest::newRow("SIGTERM, the port just gone") << "port gone" << SIGTERM;
    }
    void terminationEndsTheRun()
    {
        QFETCH(QString, when);
        QFETCH(int, signal);
        AppRig r;
        QString said;
        QTextStream err(&said);
        EndablePrompter prompter(r.prompter, err);
        r.window = std::make_unique<FrmMain>(r.define, r.port, r.clock, prompter);
        TerminationSignals termination;
        QTimer shown; // the signal once the window is up, which it must never be while starting
        shown.callOnTimeout([&] {
            if (!r.w().isVisible())
                return;
            shown.stop();
            r.clock.advance(0.5); // the display is there: the Send button, and a farewell
            r.port.vanishAfterBytes = when == "port gone" ? 0 : -1;
            if (when != "sending") {
                ::raise(signal);
                return;
            }
            r.clock.scheduleIn(1.0, [&] { ::raise(signal); }); // after the item's frame
            r.w().CmdSend_Click();
        });
        shown.start(0);
        QVERIFY(when != "starting" || ::raise(signal) == 0); // read during the start-up
        QCOMPARE(runWindow(r.w(), termination, &prompter), 0);
        QVERIFY(r.w().unloaded());
        QVERIFY(!r.w().isVisible());
        QVERIFY(!r.port.portOpen());
        QCOMPARE(shown.isActive(), when == "starting");
        QCOMPARE(QFile::exists(r.iniPath()), when == "sending");
        QVERIFY(r.prompter.boxes.empty());
        QCOMPARE(said, when == "port gone" ? "poleset: Faulted to Data sending!!\n" : "");
    }
};

QTEST_MAIN(TestLinkMonitor)
#include "tst_linkmonitor.moc"
