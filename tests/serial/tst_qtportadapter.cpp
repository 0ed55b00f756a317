#include "FailureWords.h"
#include "FakeClock.h"
#include "QtPortAdapter.h"
#include "SerialLink.h"
#include "SetupApply.h"
#include "TestPty.h"

#include <QSerialPort>
#include <QtTest>

#include <cstdarg>
#include <optional>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// A pseudo-terminal has no modem lines: its ioctls for them fail with ENOTTY. While this holds a
// value, the ioctls that raise and drop lines act on it instead, as a serial driver's would. Qt's
// calls come here too, ahead of the C library's.
static std::optional<int> fakeModemLines;

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    int *arg = va_arg(args, int *);
    va_end(args);
    if (!fakeModemLines || (request != TIOCMBIS && request != TIOCMBIC))
        return reinterpret_cast<int (*)(int, unsigned long, int *)>(::dlsym(RTLD_NEXT, "ioctl"))(
            fd, request, arg);
    *fakeModemLines = request == TIOCMBIS ? *fakeModemLines | *arg : *fakeModemLines & ~*arg;
    return 0;
}

class TestQtPortAdapter : public QObject
{
    Q_OBJECT

    // A pseudo-terminal reachable as COM1 through a link in the start-up directory, opened. The
    // built-in ports are looked for in an empty scratch tree.
    struct Rig
    {
        TestPty pty;
        QTemporaryDir dir, root;
        bool linked = pty.linkAs(dir.path());
        QtPortAdapter port{StartDir(dir.path()), root.path()}; // goes before the pty it is open on
        Rig() { port.setPortOpen(linked); }
    };

private slots:
    void settingsTakeEffect()
    {
        Rig rig;
        QCOMPARE(rig.pty.lineSpeed(), 9600); // before any settings are given
        for (const char *bad : {"9600,N,8", "0,N,8,1", "9600,X,8,1", "9600,N,9,1", "9600,N,8,2"})
            QVERIFY(!LineSettings::fromString(QString::fromLatin1(bad)));
        QVERIFY_THROWS_EXCEPTION(PortError, rig.port.setSettings({9600, Parity::None, 9, 1}));
        QCOMPARE(rig.port.settings().toString(), QStringLiteral("9600,N,8,1"));
        // On a closed port a change waits for the next open; parity and data bits only show in Qt.
        rig.port.setPortOpen(false);
        rig.port.setSettings(LineSettings::fromString(u" 4800, o ,7,1").value());
        QVERIFY(!rig.port.portOpen());
        rig.port.setPortOpen(true);
        QCOMPARE(rig.pty.lineSpeed(), 4800);
        QCOMPARE(rig.port.serialPort().parity(), QSerialPort::OddParity);
        QCOMPARE(rig.port.serialPort().dataBits(), QSerialPort::Data7);
    }

    void openFailures_data()
    {
        QTest::addColumn<bool>("permitted");
        QTest::addColumn<QString>("reason"); // after the device's path
        QTest::newRow("busy") << true << " is busy: another program holds it";
        QTest::newRow("no permission")
            << false << ": permission denied. Add your user to the dialout group and log in again.";
    }
    void openFailures()
    {
        QFETCH(bool, permitted);
        QFETCH(QString, reason);
        // A second adapter on the device the rig holds, or on one its user may not write to: as
        // root, the test looks as another user would for the while.
        Rig rig;
        const QString pts = rig.pty.slavePath();
        const QByteArray path = QFile::encodeName(pts);
        const bool root = ::geteuid() == 0 && !permitted;
        QVERIFY(permitted || (rig.port.setPortOpen(false), ::chmod(path.constData(), 0400) == 0));
        QVERIFY(!root || (::chmod(QFile::encodeName(rig.dir.path()).constData(), 0755) == 0 &&
                          ::setresuid(65534, 0, 0) == 0 && ::setfsuid(65534) >= 0));
        QtPortAdapter other(StartDir(rig.dir.path()), rig.root.path());
        QString failure;
        try {
            other.setPortOpen(true);
        } catch (const PortError &e) {
            failure = e.device() + ": " + portFailureReason(e.failure());
        }
        QVERIFY(!root || (::setfsuid(0) >= 0 && ::setresuid(0, 0, 0) == 0));
        QCOMPARE(failure, pts + ": " + pts + reason);
        QVERIFY(!other.portOpen());
    }

    // Another program's lock file, in each form (the first in var/lock, the rest in run/lock): a
    // live holder (this test) keeps the port and its lock file, and is named; the lock of a
    // holder that has ended is taken over.
    void lockFiles_data()
    {
        QTest::addColumn<int>("form"); // ten columns, binary, Qt's, no PID
        QTest::addColumn<bool>("live");
        QTest::addColumn<QString>("says"); // after "DEVICE is busy: "; %1 lock file, %2 PID
        int form = 0;
        for (const char *name : {"ten columns", "binary", "Qt's"}) {
            QTest::addRow("%s, holder lives", name)
                << form << true << "tst_qtportadapt (PID %2) holds it (lock file %1)";
            QTest::addRow("%s, holder ended", name) << form++ << false << QString();
        }
        QTest::newRow("no PID") << form << true << "the lock file %1 does not say who holds it";
    }
    void lockFiles()
    {
        QFETCH(int, form);
        QFETCH(bool, live);
        QFETCH(QString, says);
        Rig rig;
        rig.port.setPortOpen(false);
        const qint32 pid = live ? ::getpid() : ::fork();
        if (pid == 0)
            ::_exit(0);
        QVERIFY(live || ::waitpid(pid, nullptr, 0) == pid);
        const QString pts = rig.pty.slavePath();
        const QString lock = rig.root.filePath(form ? "run/lock" : "var/lock");
        QFile file(lock + "/LCK..pts_" + pts.section('/', -1));
        const QByteArray number = QByteArray::number(pid);
        QVERIFY(QDir().mkpath(lock) && file.open(QIODevice::Unbuffered | QIODevice::WriteOnly));
        file.write(QList<QByteArray>{number.rightJustified(10) + '\n',
                                     QByteArray(reinterpret_cast<const char *>(&pid), 4),
                                     number + "\nsleep\nhost\n", "\n"}[form]);
        QString failure;
        try {
            rig.port.setPortOpen(true);
        } catch (const PortError &e) {
            failure = portFailureReason(e.failure());
        }
        says.replace("%1", file.fileName()).replace("%2", number);
        QCOMPARE(failure, says.isEmpty() ? QString() : pts + " is busy: " + says);
        QCOMPARE(file.exists(), live);
    }

    // COM1 is a link to the display's line, and the scratch tree's built-in port a trap. The
    // device chosen at the first open is reached by every re-open, through the same COM1: when
    // the entry has gone, the re-open fails and nothing else is opened.
    void reopensKeepTheChosenDevice_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("relinked"); // COM1 leads to a new line instead of having gone
        int kind = 0;
        for (const char *name : {"new line settings", "the Send's switch", "Interface Set's Cancel",
                                 "the link monitor", "--apply"}) {
            QTest::addRow("%s, COM1 gone", name) << kind << false;
            QTest::addRow("%s, COM1 relinked", name) << kind++ << true;
        }
    }
    void reopensKeepTheChosenDevice()
    {
        QFETCH(int, kind);
        QFETCH(bool, relinked);
        Rig rig;
        TestPty trap, again;
        QVERIFY(QDir().mkpath(rig.root.filePath("dev")) &&
                QFile::link(trap.slavePath(), rig.root.filePath("dev/ttyS0")));
        Define define;
        FakeClock clock;
        SerialLink link(rig.port, clock);
        SetupApply apply(define, rig.port, clock);
        const auto replug = [&] {
            QVERIFY(QFile::remove(rig.dir.filePath("COM1")) &&
                    (!relinked || again.linkAs(rig.dir.path())));
        };
        QString failure;
        if (kind == 4) {
            // Gone between the Communication item and the port following the display.
            clock.scheduleIn(5 * 4.0 + 1.0, replug);
            QCOMPARE(apply.run(), relinked);
            if (apply.sendOutcome().reopenFailed)
                failure = portFailureReason(apply.sendOutcome().reopenFailed->failure());
        } else {
            replug();
            if (kind == 3) {
                rig.pty.hangUp();
                QCOMPARE(rig.port.output(0x41) || rig.port.deviceAvailable(), relinked);
            }
            if (kind == 1 || kind == 2)
                rig.port.setPortOpen(false);
            define.ComBaud = kind == 0 ? 4800 : 9600;
            try {
                kind == 2 ? link.ReopenPort() : link.OpenPort(define.ComPort, define.line());
            } catch (const PortError &e) {
                failure = portFailureReason(e.failure());
            }
        }
        QCOMPARE(rig.port.portOpen(), relinked);
        QCOMPARE(failure.contains("COM1, which does not exist"), !relinked);
        rig.port.output(0x42);
        QCOMPARE(again.readAvailable().endsWith('B'), relinked);
        QCOMPARE(trap.readAvailable(), QByteArray());
    }

    // Idle, the adapter sees it by itself; sending, at the next byte; the link monitor, at its
    // next look at DSR, which a pseudo-terminal answers as held. Closed for good every way.
    void farSideHangsUp()
    {
        for (const int noticed : {0, 1, 2}) { // idle, sending, the link monitor
            Rig rig;
            QCOMPARE(rig.port.dsrHolding(), true);
            rig.pty.hangUp();
            if (noticed == 0)
                QTRY_COMPARE(rig.port.portOpen(), false);
            else
                QCOMPARE(noticed == 1 ? rig.port.output(0x41) : rig.port.dsrHolding(), false);
            QCOMPARE(rig.port.portOpen(), false);
            QCOMPARE(rig.port.serialPort().isOpen(), false);
            QVERIFY_THROWS_EXCEPTION(PortError, rig.port.setPortOpen(true));
        }
    }

    // On an open port RTS follows at once, DTR untouched.
    void rtsSwitched()
    {
        Rig rig;
        const auto off = qScopeGuard([] { fakeModemLines.reset(); });
        fakeModemLines = TIOCM_RTS | TIOCM_DTR;
        rig.port.setRtsEnable(false);
        QCOMPARE(*fakeModemLines, TIOCM_DTR);
        rig.port.setRtsEnable(true);
        QCOMPARE(*fakeModemLines, TIOCM_RTS | TIOCM_DTR);
    }

    void fullQueueIsNotAVanishedPort()
    {
        Rig rig;
        // Nobody reads the master: the pty fills up and a byte stays queued. Every byte value goes
        // through, so line-ending translation or flow-control characters would show.
        QByteArray sent;
        while (sent.size() < (1 << 20) && rig.port.outBufferCount() == 0) {
            sent.append(static_cast<char>(sent.size() % 256));
            QVERIFY(rig.port.output(static_cast<quint8>(sent.back())));
        }
        QVERIFY(rig.port.outBufferCount() > 0);
        // The far side reads again while the link polls the count: all arrives, once.
        QByteArray got;
        for (QDeadlineTimer deadline(10000); got.size() < sent.size() && !deadline.hasExpired();) {
            rig.port.outBufferCount();
            got += rig.pty.readAvailable();
        }
        QCOMPARE(got, sent);
        QCOMPARE(rig.port.outBufferCount(), 0);
        QCOMPARE(rig.port.portOpen(), true);
        while (got.size() < (2 << 20) && rig.port.outBufferCount() == 0 && rig.port.output(0x55))
            got += 'U';
        rig.port.clearOutBuffer();
        QCOMPARE(rig.port.outBufferCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestQtPortAdapter)
#include "tst_qtportadapter.moc"
