// PoleSet on a real line: the window and the port adapter over a pseudo-terminal linked as COM1,
// in virtual time.
#include "FakeClock.h"
#include "FakePrompter.h"
#include "FrmMain.h"
#include "QtPortAdapter.h"
#include "TestPty.h"

#include <QtTest>
#include <QtWidgets>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void farSideClosesDuringTheTestPrint()
    {
        QTemporaryDir dir, root; // no built-in ports in the scratch tree
        TestPty pty;
        QVERIFY(pty.linkAs(dir.path()) && QDir::setCurrent(dir.path()));
        Define define;
        FakeClock clock;
        FakePrompter prompter;
        QtPortAdapter port(StartDir(dir.path()), root.path());
        FrmMain w(define, port, clock, prompter);
        QVERIFY(w.Form_Load());
        clock.advance(0.5);            // a pseudo-terminal holds DSR
        w.CboBaud->setCurrentIndex(7); // 19,200bps, the PC port following
        w.CmdSend->click();
        clock.advance(0.5);
        QCOMPARE(pty.lineSpeed(), 19200);
        // Hang the line up in the settle wait of the third text.
        clock.scheduleIn(2 * 2.0 + 1.0, [&] {
            pty.readAvailable(20);
            pty.hangUp();
        });
        const double start = clock.now();
        w.MenuTest->trigger();
        // Every later text fails at once, one box each; no drain wait ran out.
        QCOMPARE(prompter.boxes.size(), size_t(16));
        QCOMPARE(clock.napped, 0.0);
        QVERIFY(qAbs(clock.now() - start - 19 * 2.0) < 0.01);
        QVERIFY(!port.portOpen());
        clock.advance(0.5);
        QVERIFY(!w.CmdSend->isVisibleTo(&w));

        // Unplugged: the link goes too, and for a while nothing is there.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("COM1"))));
        clock.advance(2.0);
        QVERIFY(!port.portOpen());

        // A new far side under the same name: the port comes back by itself, at the speed the
        // last Send chose, and takes the next command.
        TestPty again;
        QVERIFY(again.linkAs(dir.path()));
        clock.advance(0.5);
        QVERIFY(port.portOpen() && w.CmdSend->isVisibleTo(&w));
        QCOMPARE(again.lineSpeed(), 19200);
        w.MenuInit->trigger();
        QCOMPARE(again.readAvailable(20), QByteArray("\x1b@"));
        QVERIFY(prompter.boxes.size() == 16);
    }

    // Only in the virtual PC of scripts/uart-check.sh, which reads the UART's trace: the window
    // opens the real driver at its settings, and its demo, Stop Demo and shut-down switch RTS
    // and DTR.
    void realUart()
    {
        if (!QFile::exists(QStringLiteral("/mnt/job/.vmlab-job"))) // the virtual PC's job
            QSKIP("runs in the virtual PC: bash scripts/uart-check.sh");
        Define define;
        FakeClock clock;
        FakePrompter prompter;
        QtPortAdapter port(StartDir::current()); // COM1: the guest's /dev/ttyS0
        FrmMain w(define, port, clock, prompter);
        QVERIFY(w.Form_Load() && port.dsrHolding());
        clock.advance(0.5); // the link monitor finds DSR held: the farewell goes at the end
        w.MenuDemo_Click();
        w.MenuStopDemo_Click();
        clock.advance(0.5);
        w.close();
        QVERIFY(prompter.boxes.empty()); // every byte's drain wait returned
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
