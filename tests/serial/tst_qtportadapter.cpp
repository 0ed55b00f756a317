#include "FakeClock.h"
#include "FakePrompter.h"
#include "QtPortAdapter.h"
#include "SerialLink.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

namespace {

// A pseudo-terminal standing in for a serial line: the adapter opens the slave, the test reads
// what arrives on the master. The test keeps its own slave descriptor to look at the line
// settings; the master is left unconfigured.
struct Pty
{
    int master = -1;
    int slave = -1;
    QString slavePath;

    Pty()
    {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        char name[256] = {};
        if (::ttyname_r(slave, name, sizeof name) == 0)
            slavePath = QString::fromLocal8Bit(name);
    }
    ~Pty()
    {
        closeMaster();
        if (slave >= 0)
            ::close(slave);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    speed_t speed() const
    {
        termios t{};
        ::tcgetattr(slave, &t);
        return ::cfgetospeed(&t);
    }

    // Everything that arrives until `count` bytes are in or five seconds have passed.
    QByteArray read(qsizetype count) const
    {
        QByteArray got;
        const QDeadlineTimer deadline(5000);
        while (got.size() < count && !deadline.hasExpired()) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }
};

// How many descriptors of this process are open on the device behind `fd`.
int descriptorsOn(int fd)
{
    struct stat device
    {};
    if (::fstat(fd, &device) != 0)
        return -1;
    int count = 0;
    const long limit = qMin(::sysconf(_SC_OPEN_MAX), 4096L);
    for (int i = 0; i < limit; ++i) {
        struct stat st
        {};
        if (::fstat(i, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device.st_rdev)
            ++count;
    }
    return count;
}

// CPU seconds the main thread spends while it processes events for `ms` milliseconds.
double cpuWhileProcessingEvents(int ms)
{
    const auto cpu = [] {
        rusage u{};
        ::getrusage(RUSAGE_THREAD, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double before = cpu();
    QTest::qWait(ms);
    return cpu() - before;
}

// Sends like the link does: one byte, then wait for the queue to drain.
bool sendDrained(QtPortAdapter &port, const QByteArray &bytes)
{
    for (const char byte : bytes) {
        if (!port.output(static_cast<quint8>(byte)))
            return false;
        const QDeadlineTimer deadline(2000);
        while (port.outBufferCount() != 0) {
            if (deadline.hasExpired())
                return false;
        }
    }
    return true;
}

enum class Entry { None, Device, Chain, Dangling, OtherPort };

} // namespace

Q_DECLARE_METATYPE(Entry)

class TestQtPortAdapter : public QObject
{
    Q_OBJECT

    // A pseudo-terminal reachable as COM1 through a link in the start-up directory.
    struct Rig
    {
        Pty pty;
        QTemporaryDir dir;
        std::unique_ptr<QtPortAdapter> port;
        Rig()
        {
            QFile::link(pty.slavePath, dir.filePath(QStringLiteral("COM1")));
            port = std::make_unique<QtPortAdapter>(dir.path());
        }
        ~Rig() { port.reset(); } // the port goes before the pty it is open on
        bool ready() const { return pty.master >= 0 && !pty.slavePath.isEmpty() && dir.isValid(); }
    };

    static const QSerialPort &serial(const QtPortAdapter &port) { return port.serialPort(); }

private slots:
    void comDevicePath_data()
    {
        QTest::addColumn<Entry>("entry");
        QTest::addColumn<int>("port");
        QTest::newRow("no entry: COM1 is the first serial port") << Entry::None << 1;
        QTest::newRow("no entry: COM4 is the fourth serial port") << Entry::None << 4;
        QTest::newRow("entry for another port only") << Entry::OtherPort << 2;
        QTest::newRow("link to the device") << Entry::Device << 1;
        QTest::newRow("link to a link to the device") << Entry::Chain << 3;
        QTest::newRow("link that leads nowhere") << Entry::Dangling << 2;
    }
    void comDevicePath()
    {
        QFETCH(Entry, entry);
        QFETCH(int, port);
        Pty pty;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(!pty.slavePath.isEmpty());
        const QString name = dir.filePath(QStringLiteral("COM%1").arg(port));
        QString expected = QStringLiteral("/dev/ttyS%1").arg(port - 1);
        switch (entry) {
        case Entry::None:
            break;
        case Entry::OtherPort:
            QVERIFY(
                QFile::link(pty.slavePath, dir.filePath(QStringLiteral("COM%1").arg(port + 1))));
            break;
        case Entry::Device:
            QVERIFY(QFile::link(pty.slavePath, name));
            expected = pty.slavePath;
            break;
        case Entry::Chain:
            QVERIFY(QFile::link(pty.slavePath, dir.filePath(QStringLiteral("by-id"))));
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("by-id")), name));
            expected = pty.slavePath;
            break;
        case Entry::Dangling:
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("unplugged")), name));
            expected = name;
            break;
        }
        const QString path = ::comDevicePath(port, dir.path());
        QCOMPARE(path, expected);
        QVERIFY(QDir::isAbsolutePath(path));
    }

    void bytesArriveInOrderAndUnchanged()
    {
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        QVERIFY(rig.port->portOpen());
        // Every byte value: line-ending translation or flow-control characters would show.
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(255 - i));
        QVERIFY(sendDrained(*rig.port, all));
        QCOMPARE(rig.pty.read(all.size()), all);
    }

    void sendDataThroughTheLink()
    {
        Rig rig;
        QVERIFY(rig.ready());
        Define define;
        FakeClock clock;
        FakePrompter prompter;
        SerialLink link(define, *rig.port, clock, prompter);
        link.OpenPort();
        QVERIFY(link.SendData(QStringLiteral("4408"), false));
        QVERIFY(link.SendData(QStringLiteral("1B40"), true));
        QCOMPARE(rig.pty.read(8), QByteArray("\x0c\x02\x05\x44\x08\x03\x1b\x40"));
        QCOMPARE(rig.pty.speed(), speed_t(B9600));
        link.ClosePort();
        QVERIFY(!rig.port->portOpen());
        QVERIFY(prompter.boxes.empty());
    }

    void settings_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QSerialPort::Parity>("parity");
        QTest::addColumn<QSerialPort::DataBits>("dataBits");
        QTest::addColumn<uint>("speed");
        QTest::newRow("defaults") << "9600,N,8,1" << 9600 << QSerialPort::NoParity
                                  << QSerialPort::Data8 << uint(B9600);
        QTest::newRow("even, 7 bits")
            << "4800,E,7,1" << 4800 << QSerialPort::EvenParity << QSerialPort::Data7 << uint(B4800);
        QTest::newRow("odd") << "19200,O,8,1" << 19200 << QSerialPort::OddParity
                             << QSerialPort::Data8 << uint(B19200);
        QTest::newRow("lower-case letter") << "38400,e,8,1" << 38400 << QSerialPort::EvenParity
                                           << QSerialPort::Data8 << uint(B38400);
        QTest::newRow("slowest") << "300,N,7,1" << 300 << QSerialPort::NoParity
                                 << QSerialPort::Data7 << uint(B300);
    }
    void settings()
    {
        QFETCH(QString, settings);
        QFETCH(int, baud);
        QFETCH(QSerialPort::Parity, parity);
        QFETCH(QSerialPort::DataBits, dataBits);
        QFETCH(uint, speed);
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setSettings(settings);
        rig.port->setPortOpen(true);
        const QSerialPort &s = serial(*rig.port);
        QCOMPARE(s.baudRate(), baud);
        QCOMPARE(s.parity(), parity);
        QCOMPARE(s.dataBits(), dataBits);
        QCOMPARE(s.stopBits(), QSerialPort::OneStop);
        QCOMPARE(s.flowControl(), QSerialPort::NoFlowControl);
        QCOMPARE(uint(rig.pty.speed()), speed);
        QCOMPARE(rig.port->settings(), settings);
    }

    void newSettingsTakeEffect()
    {
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        QCOMPARE(rig.pty.speed(), speed_t(B9600));

        // On an open port the change re-opens it at once.
        rig.port->setSettings(QStringLiteral("19200,E,7,1"));
        QVERIFY(rig.port->portOpen());
        QCOMPARE(rig.pty.speed(), speed_t(B19200));
        QVERIFY(sendDrained(*rig.port, "ok"));
        QCOMPARE(rig.pty.read(2), QByteArray("ok"));

        // On a closed port it waits for the next open.
        rig.port->setPortOpen(false);
        rig.port->setSettings(QStringLiteral("4800,N,8,1"));
        QVERIFY(!rig.port->portOpen());
        rig.port->setPortOpen(true);
        QCOMPARE(rig.pty.speed(), speed_t(B4800));
    }

    void invalidSettingsAreRefused_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::newRow("empty") << "";
        QTest::newRow("baud only") << "9600";
        QTest::newRow("three fields") << "9600,N,8";
        QTest::newRow("five fields") << "9600,N,8,1,1";
        QTest::newRow("baud not a number") << "fast,N,8,1";
        QTest::newRow("baud zero") << "0,N,8,1";
        QTest::newRow("baud negative") << "-9600,N,8,1";
        QTest::newRow("unknown parity") << "9600,X,8,1";
        QTest::newRow("nine data bits") << "9600,N,9,1";
        QTest::newRow("two stop bits") << "9600,N,8,2";
    }
    void invalidSettingsAreRefused()
    {
        QFETCH(QString, settings);
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        try {
            rig.port->setSettings(settings);
            QFAIL("no PortError");
        } catch (const PortError &e) {
            QVERIFY2(e.reason().contains(QLatin1Char('"') + settings + QLatin1Char('"')),
                     qPrintable(e.reason()));
        }
        // The port goes on as it was.
        QCOMPARE(rig.port->settings(), QStringLiteral("9600,N,8,1"));
        QVERIFY(rig.port->portOpen());
        QCOMPARE(rig.pty.speed(), speed_t(B9600));
    }

    void ptyCountsAsHoldingDsr()
    {
        Rig rig;
        QVERIFY(rig.ready());
        QVERIFY(!rig.port->dsrHolding());
        rig.port->setPortOpen(true);
        QVERIFY(rig.port->dsrHolding());
        QVERIFY(rig.port->dsrHolding()); // asked every 500 ms: still on
        rig.port->setPortOpen(false);
        QVERIFY(!rig.port->dsrHolding());
    }

    void missingDeviceNamesThePath()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("ttyUSB-unplugged"));
        QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("COM2"))));
        QtPortAdapter port(dir.path());
        port.setCommPort(2);
        try {
            port.setPortOpen(true);
            QFAIL("no PortError");
        } catch (const PortError &e) {
            QCOMPARE(e.device(), dir.filePath(QStringLiteral("COM2")));
            QVERIFY2(e.reason().contains(target), qPrintable(e.reason()));
        }
        QVERIFY(!port.portOpen());
    }

    void busyDeviceIsReported()
    {
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        QtPortAdapter other(rig.dir.path());
        try {
            other.setPortOpen(true);
            QFAIL("no PortError");
        } catch (const PortError &e) {
            QCOMPARE(e.device(), rig.pty.slavePath);
            QVERIFY2(e.reason().contains(QStringLiteral("another program")),
                     qPrintable(e.reason()));
        }
        QVERIFY(!other.portOpen());
        QVERIFY(sendDrained(*rig.port, "still mine"));
        QCOMPARE(rig.pty.read(10), QByteArray("still mine"));
    }

    void farSideClosesMidSend()
    {
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        QVERIFY(sendDrained(*rig.port, "ABCDE"));
        QCOMPARE(rig.pty.read(5), QByteArray("ABCDE"));

        rig.pty.closeMaster();
        QVERIFY(!sendDrained(*rig.port, "FGHIJ"));
        QVERIFY(!rig.port->portOpen());
        QVERIFY(!rig.port->dsrHolding());
        QVERIFY(!rig.port->output('K'));
        QCOMPARE(rig.port->outBufferCount(), 0);
        QCOMPARE(descriptorsOn(rig.pty.slave), 1); // only the test's own
        QVERIFY_THROWS_EXCEPTION(PortError, rig.port->setPortOpen(true));
        QVERIFY(!rig.port->portOpen());
    }

    void hangUpClosesThePortWithoutSpinning()
    {
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        QCOMPARE(descriptorsOn(rig.pty.slave), 2);

        rig.pty.closeMaster();
        const double cpu = cpuWhileProcessingEvents(300);
        QVERIFY2(cpu < 0.15, qPrintable(QStringLiteral("%1 s of CPU in 0.3 s").arg(cpu)));
        QVERIFY(!rig.port->portOpen());
        QCOMPARE(descriptorsOn(rig.pty.slave), 1);
    }

    void unreadInputDoesNotSpin()
    {
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        QCOMPARE(::write(rig.pty.master, "\x06\x06\x06", 3), ssize_t(3)); // the display talks
        const double cpu = cpuWhileProcessingEvents(300);
        QVERIFY2(cpu < 0.15, qPrintable(QStringLiteral("%1 s of CPU in 0.3 s").arg(cpu)));
        QVERIFY(rig.port->portOpen());
        QVERIFY(rig.port->dsrHolding());
        QVERIFY(sendDrained(*rig.port, "x"));
        QCOMPARE(rig.pty.read(1), QByteArray("x"));

        // Still watching: a hang-up after the input is noticed.
        rig.pty.closeMaster();
        QTRY_VERIFY(!rig.port->portOpen());
        QTRY_COMPARE(descriptorsOn(rig.pty.slave), 1);
    }

    void fullQueueIsNotAVanishedPort()
    {
        Rig rig;
        QVERIFY(rig.ready());
        rig.port->setPortOpen(true);
        // Nobody reads the master: the pty fills up and a byte stays queued.
        QByteArray sent;
        while (sent.size() < (1 << 20) && rig.port->outBufferCount() == 0) {
            const char byte = static_cast<char>('a' + sent.size() % 26);
            QVERIFY(rig.port->output(static_cast<quint8>(byte)));
            sent.append(byte);
        }
        QVERIFY(rig.port->outBufferCount() > 0);
        QVERIFY(rig.port->portOpen());
        QVERIFY(rig.port->dsrHolding());

        // The far side reads again: the queue drains (the link keeps asking for the count
        // meanwhile) and nothing is lost or repeated.
        QByteArray got;
        const QDeadlineTimer deadline(10000);
        while (got.size() < sent.size() && !deadline.hasExpired()) {
            rig.port->outBufferCount();
            got += rig.pty.read(1);
        }
        QCOMPARE(got.size(), sent.size());
        QVERIFY(got == sent);
        QCOMPARE(rig.port->outBufferCount(), 0);
        QVERIFY(rig.port->portOpen());
    }

    void linesAndBuffersOnOpenAndClosedPort()
    {
        Rig rig;
        QVERIFY(rig.ready());
        const auto exercise = [&rig] {
            rig.port->setRtsEnable(false);
            rig.port->setDtrEnable(false);
            rig.port->setRtsEnable(true);
            rig.port->setDtrEnable(true);
            rig.port->clearInBuffer();
            rig.port->clearOutBuffer();
        };

        QVERIFY_THROWS_NO_EXCEPTION(exercise());
        QVERIFY(!rig.port->portOpen());
        QVERIFY(!rig.port->output('x'));
        QCOMPARE(rig.port->outBufferCount(), 0);
        QVERIFY_THROWS_NO_EXCEPTION(rig.port->setPortOpen(false));

        rig.port->setPortOpen(true);
        QVERIFY_THROWS_NO_EXCEPTION(exercise());
        QVERIFY(rig.port->portOpen());
        QVERIFY(rig.port->dsrHolding());
        QVERIFY(sendDrained(*rig.port, "go"));
        QCOMPARE(rig.pty.read(2), QByteArray("go"));
    }
};

QTEST_GUILESS_MAIN(TestQtPortAdapter)
#include "tst_qtportadapter.moc"
