// PoleSet on a real line: the window and the port adapter over a pseudo-terminal linked as COM1,
// in virtual time.
#include "DlgIFSet.h"
#include "FakeClock.h"
#include "FakePrompter.h"
#include "FrmMain.h"
#include "QtPortAdapter.h"
#include "TestPty.h"

#include <QtTest>
#include <QtWidgets>

#include <fcntl.h>
#include <unistd.h>

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
        QtPortAdapter port(dir.path(), root.path());
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
    // over the real driver, each step after its number in the UART's scratch register.
    void realUart()
    {
        if (!QFile::exists(QStringLiteral("/mnt/job/.vmlab-job"))) // the virtual PC's job
            QSKIP("runs in the virtual PC: bash scripts/uart-check.sh");
        const int io = ::open("/dev/port", O_RDWR); // 0x3FC modem control, 0x3FF scratch
        QVERIFY(io >= 0);
        const auto poke = [io](int at, char value) {
            QCOMPARE(::pwrite(io, &value, 1, at), ssize_t(1));
        };
        Define define;
        FakeClock clock;
        FakePrompter prompter;
        QtPortAdapter port(QDir::currentPath()); // COM1: the guest's /dev/ttyS0
        FrmMain w(define, port, clock, prompter);
        QVERIFY(w.Form_Load() && port.dsrHolding());
        clock.advance(0.5); // the link monitor finds DSR held: the farewell goes at the end
        // Interface Set at the dialog's speed, left with Set or Cancel, then a Send.
        const auto ifSet = [&](int baud, bool set) {
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                auto *dialog = qobject_cast<DlgIFSet *>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                poll.stop();
                dialog->findChild<QComboBox *>(QStringLiteral("CboBaud"))->setCurrentIndex(baud);
                set ? dialog->findChild<QPushButton *>(QStringLiteral("CmdSet"))->click()
                    : dialog->reject();
            });
            poll.start(0);
            w.MenuIFSet->trigger();
        };
        const auto send = [&](int step, QComboBox *list, int index, bool ticked, int ifBaud = -1) {
            poke(0x3FF, step);
            if (ifBaud >= 0)
                ifSet(ifBaud, ticked);
            if (list)
                list->setCurrentIndex(index);
            w.ChkSetTerm->setChecked(ticked);
            clock.advance(0.5);
            w.CmdSend->click();
        };
        QComboBox *baud = w.CboBaud, *format = w.CboCommunication, *chars = w.CboINChr;
        send(10, nullptr, 0, true); // unlocks the panel
        send(11, baud, 7, true);    // 19,200bps
        send(12, baud, 0, true);
        send(13, format, 3, true); // E-7-1
        send(14, format, 4, true); // O-8-1
        send(15, format, 0, true);
        send(16, baud, 7, false);
        send(17, format, 3, false);
        send(18, chars, 1, true, 6);  // Interface Set 19,200bps, Set
        send(19, chars, 2, false, 5); // Cancel
        poke(0x3FF, 20);
        w.MenuDemo_Click();
        send(21, baud, 0, true);
        send(22, chars, 3, false, 6);
        poke(0x3FF, 23);
        w.MenuStopDemo_Click();
        clock.advance(0.5);
        // The UART's loopback bit with DTR off makes its DSR read off: the link-down look.
        poke(0x3FF, 24);
        char mcr = 0;
        QCOMPARE(::pread(io, &mcr, 1, 0x3FC), ssize_t(1));
        poke(0x3FC, 0x1A);
        clock.advance(0.5);
        QVERIFY(!w.CmdSend->isVisibleTo(&w) && !w.MenuTest->isEnabled());
        poke(0x3FC, mcr);
        clock.advance(0.5);
        QVERIFY(w.CmdSend->isVisibleTo(&w) && w.MenuTest->isEnabled());
        poke(0x3FF, 25);
        w.close();
        QVERIFY(prompter.boxes.empty()); // every byte's drain wait returned
    }

    // Only in that virtual PC's third step: COM1 a by-id link to its USB adapter, which the host
    // unplugs and plugs back when asked, during the demo, in real time.
    void realUsb()
    {
        if (!QFile::exists(QStringLiteral("/mnt/job/usb/COM1")))
            QSKIP("runs in the virtual PC: bash scripts/uart-check.sh");
        const auto ask = [](const QString &what) {
            QFile(QStringLiteral("/mnt/out/") + what).open(QIODevice::WriteOnly);
        };
        const auto holdsAdapter = [] {
            for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList())
                if (fd.symLinkTarget().startsWith(QStringLiteral("/dev/ttyUSB")))
                    return true;
            return false;
        };
        Define define;
        SystemClock clock;
        FakePrompter prompter;
        QtPortAdapter port(QDir::currentPath());
        FrmMain w(define, port, clock, prompter);
        QVERIFY(w.Form_Load());
        QTRY_VERIFY(w.CmdSend->isVisibleTo(&w));
        w.CmdSend->click();            // unlocks the panel
        w.CboBaud->setCurrentIndex(7); // 19,200bps, the port following: kept at every re-open
        w.CmdSend->click();
        w.MenuDemo_Click();
        for (int i = 0; i < 10; ++i) {
            ask(QStringLiteral("unplug-%1").arg(i));
            QTRY_VERIFY(!port.portOpen());
            QTest::qWait(1000);
            QVERIFY(!holdsAdapter());
            ask(QStringLiteral("plug-%1").arg(i));
            QTRY_VERIFY_WITH_TIMEOUT(port.portOpen(), 10000);
        }
        QTRY_VERIFY(w.CmdSend->isVisibleTo(&w));
        w.CboINChr->setCurrentIndex(1);
        w.CmdSend->click();
        w.MenuStopDemo_Click();
        QTest::qWait(600); // the link monitor sees DSR: the farewell goes at the end
        w.close();
        QVERIFY(prompter.boxes.empty());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
