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
        QtPortAdapter port(StartDir(dir.path()), root.path());
        FrmMain w(define, port, clock, prompter);
        QVERIFY(w.Form_Load());
        auto *send = w.findChild<QPushButton *>(QStringLiteral("CmdSend"));
        clock.advance(0.5); // a pseudo-terminal holds DSR
        w.findChild<QComboBox *>(QStringLiteral("CboBaud"))->setCurrentIndex(7); // the PC following
        send->click();
        clock.advance(0.5);
        QCOMPARE(pty.lineSpeed(), 19200);
        // Hang the line up in the settle wait of the third text.
        clock.scheduleIn(2 * 2.0 + 1.0, [&] {
            pty.readAvailable(20);
            pty.hangUp();
        });
        const double start = clock.now();
        w.findChild<QAction *>(QStringLiteral("MenuTest"))->trigger();
        // Every later text fails at once, one box each; no drain wait ran out.
        QCOMPARE(prompter.boxes.size(), size_t(16));
        QCOMPARE(clock.napped, 0.0);
        QVERIFY(qAbs(clock.now() - start - 19 * 2.0) < 0.01);
        QVERIFY(!port.portOpen());
        clock.advance(0.5);
        QVERIFY(!send->isVisibleTo(&w));

        // Unplugged: the link goes too, and for a while nothing is there.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("COM1"))));
        clock.advance(2.0);
        QVERIFY(!port.portOpen());

        // A new far side under the same name: the port comes back by itself, at the speed the
        // last Send chose, and takes the next command.
        TestPty again;
        QVERIFY(again.linkAs(dir.path()));
        clock.advance(0.5);
        QVERIFY(port.portOpen() && send->isVisibleTo(&w));
        QCOMPARE(again.lineSpeed(), 19200);
        w.findChild<QAction *>(QStringLiteral("MenuInit"))->trigger();
        QCOMPARE(again.readAvailable(20), QByteArray("\x1b@"));
        QVERIFY(prompter.boxes.size() == 16);
    }

    // Only in the virtual PC of scripts/uart-check.sh, which reads QEMU's trace: the window over
    // a real port (COM1) in real time, driven by the steps in POLESET_STEPS (tests/uart/guest.sh
    // says what each does).
    void realPort()
    {
        const QStringList steps = qEnvironmentVariable("POLESET_STEPS").split(u';');
        if (steps.size() < 2)
            QSKIP("runs in the virtual PC: bash scripts/uart-check.sh");
        const int io = ::open("/dev/port", O_RDWR); // the 16550A's registers
        Define define;
        SystemClock clock;
        FakePrompter prompter;
        QtPortAdapter port(StartDir::current());
        FrmMain w(define, port, clock, prompter);
        QVERIFY(w.Form_Load());
        const QMap<QString, QString> lists = {{u"baud"_qs, u"CboBaud"_qs},
                                              {u"format"_qs, u"CboCommunication"_qs},
                                              {u"chars"_qs, u"CboINChr"_qs}};
        auto *send = w.findChild<QPushButton *>(u"CmdSend"_qs);
        for (const QString &step : steps) {
            const QStringList a = step.split(u' ');
            const QString &what = a[0];
            const int n = a.value(a.size() - 1).toInt();
            if (what == u"out") {
                const char value = char(n);
                QCOMPARE(::pwrite(io, &value, 1, a[1].toInt()), ssize_t(1));
            } else if (what == u"send") {
                if (a.size() == 4)
                    w.findChild<QComboBox *>(lists[a[1]])->setCurrentIndex(a[2].toInt());
                w.findChild<QCheckBox *>(u"ChkSetTerm"_qs)->setChecked(n);
                QTRY_VERIFY(send->isVisibleTo(&w));
                send->click();
            } else if (what == u"ifset") { // the dialog is made after a status text
                QTimer poll;
                QObject::connect(&poll, &QTimer::timeout, &w, [&] {
                    auto *dialog = w.findChild<DlgIFSet *>();
                    if (!dialog)
                        return;
                    poll.stop();
                    dialog->findChild<QComboBox *>(u"CboBaud"_qs)->setCurrentIndex(a[1].toInt());
                    a[2] == u"set" ? dialog->findChild<QPushButton *>(u"CmdSet"_qs)->click()
                                   : dialog->reject();
                });
                poll.start(10);
                w.findChild<QAction *>(u"MenuIFSet"_qs)->trigger();
            } else if (what == u"demo" || what == u"stop") {
                what == u"demo" ? w.MenuDemo_Click() : w.MenuStopDemo_Click();
            } else if (what == u"link") {
                QTRY_COMPARE(send->isVisibleTo(&w), n == 1);
                QTRY_COMPARE(w.findChild<QAction *>(u"MenuTest"_qs)->isEnabled(), n == 1);
            } else if (what == u"open") {
                QTRY_COMPARE_WITH_TIMEOUT(port.portOpen(), n == 1, 10000);
            } else if (what == u"ask") { // the host unplugs or plugs the USB adapter
                QVERIFY(QFile(u"/mnt/out/"_qs + a[1]).open(QIODevice::WriteOnly));
            } else if (what == u"nofd") { // a link monitor tick later, no adapter is held
                QTest::qWait(500);
                for (const QFileInfo &fd : QDir(u"/proc/self/fd"_qs).entryInfoList(QDir::System))
                    QVERIFY(!fd.symLinkTarget().startsWith(u"/dev/ttyUSB"_qs));
            } else {
                QVERIFY2(what.isEmpty(), qPrintable(step));
            }
        }
        w.close();
        QVERIFY(prompter.boxes.empty()); // every byte's drain wait returned
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
