#include "QtPortAdapter.h"
#include "TestPty.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <ctime>

namespace {

// Writes like the link does, one byte at a time; on a pty the queue empties at once.
bool send(QtPortAdapter &port, const QByteArray &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [&port](char byte) {
        return port.output(static_cast<quint8>(byte)) && port.outBufferCount() == 0;
    });
}

} // namespace

class TestQtPortAdapter : public QObject
{
    Q_OBJECT

    // A pseudo-terminal reachable as COM1 through a link in the start-up directory, opened.
    struct Rig
    {
        TestPty pty;
        QTemporaryDir dir;
        bool linked = pty.linkAs(dir.path());
        QtPortAdapter port{dir.path()}; // goes before the pty it is open on
        Rig()
        {
            if (linked)
                port.setPortOpen(true);
        }
    };

    static const QSerialPort &serial(const QtPortAdapter &port) { return port.serialPort(); }

private slots:
    void comDevicePath_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("expected"); // "pty": its slave; "entry": dir/COM<port> itself
        QTest::newRow("link to the device") << 1 << "pty";
        QTest::newRow("link to a link to the device") << 3 << "pty";
        QTest::newRow("link that leads nowhere") << 2 << "entry";
        QTest::newRow("no entry") << 4 << "/dev/ttyS3";
    }
    void comDevicePath()
    {
        QFETCH(int, port);
        QFETCH(QString, expected);
        TestPty pty;
        QTemporaryDir dir;
        QVERIFY(pty.isValid() && pty.linkAs(dir.path(), 1));
        QVERIFY(QFile::link(dir.filePath("COM1"), dir.filePath("COM3")));
        QVERIFY(QFile::link(dir.filePath("unplugged"), dir.filePath("COM2")));
        const QString entry = dir.filePath(QStringLiteral("COM%1").arg(port));
        QCOMPARE(::comDevicePath(port, dir.path()), expected == "pty"     ? pty.slavePath()
                                                    : expected == "entry" ? entry
                                                                          : expected);
    }

    void bytesArriveInOrderAndDsrIsOn()
    {
        Rig rig;
        // A pty has no modem lines: DSR counts as on, each time the link monitor asks.
        QVERIFY(rig.port.dsrHolding());
        QVERIFY(rig.port.dsrHolding());
        // Every byte value: line-ending translation or flow-control characters would show.
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(255 - i));
        QVERIFY(send(rig.port, all));
        QByteArray got;
        QTRY_COMPARE(got += rig.pty.readAvailable(), all); // collects until all has come
        rig.port.setPortOpen(false);
        QVERIFY(!rig.port.dsrHolding());
    }

    void settingsTakeEffect()
    {
        Rig rig;
        QCOMPARE(rig.pty.speed(), 9600);
        // On an open port a change re-opens it at once; parity and data bits only show in Qt.
        rig.port.setSettings(QStringLiteral("19200,O,7,1"));
        QVERIFY(rig.port.portOpen());
        QCOMPARE(rig.pty.speed(), 19200);
        QCOMPARE(serial(rig.port).parity(), QSerialPort::OddParity);
        QCOMPARE(serial(rig.port).dataBits(), QSerialPort::Data7);
        // Invalid settings are refused and change nothing.
        for (const char *bad :
             {"9600,N,8", "fast,N,8,1", "0,N,8,1", "9600,X,8,1", "9600,N,9,1", "9600,N,8,2"})
            QVERIFY_THROWS_EXCEPTION(PortError, rig.port.setSettings(QLatin1String(bad)));
        QCOMPARE(rig.port.settings(), QStringLiteral("19200,O,7,1"));
        // On a closed port a change waits for the next open.
        rig.port.setPortOpen(false);
        rig.port.setSettings(QStringLiteral("4800,E,8,1"));
        QVERIFY(!rig.port.portOpen());
        rig.port.setPortOpen(true);
        QCOMPARE(rig.pty.speed(), 4800);
        QCOMPARE(serial(rig.port).parity(), QSerialPort::EvenParity);
    }

    void openFailureNamesTheDevice_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("reason"); // a part of it
        QTest::newRow("link to a missing device") << 2 << "/ttyUSB-unplugged";
        QTest::newRow("busy: held by the first port") << 1 << "another program";
    }
    void openFailureNamesTheDevice()
    {
        QFETCH(int, port);
        QFETCH(QString, reason);
        Rig rig;
        const QString com2 = rig.dir.filePath(QStringLiteral("COM2"));
        QVERIFY(QFile::link(rig.dir.filePath(QStringLiteral("ttyUSB-unplugged")), com2));
        QtPortAdapter other(rig.dir.path());
        other.setCommPort(port);
        try {
            other.setPortOpen(true);
            QFAIL("no PortError");
        } catch (const PortError &e) {
            QCOMPARE(e.device(), port == 1 ? rig.pty.slavePath() : com2);
            QVERIFY2(e.reason().contains(reason), qPrintable(e.reason()));
        }
        QVERIFY(!other.portOpen());
        QVERIFY(send(rig.port, "still mine"));
    }

    void farSideClosesMidSend()
    {
        Rig rig;
        QVERIFY(rig.port.portOpen());
        rig.pty.closeMaster();
        QVERIFY(!send(rig.port, "ABCDE"));
        QVERIFY(!rig.port.portOpen());
        QVERIFY(!serial(rig.port).isOpen()); // its descriptor is closed as well
        QVERIFY(!rig.port.dsrHolding());
        QVERIFY(!rig.port.output('K'));
        QVERIFY_THROWS_EXCEPTION(PortError, rig.port.setPortOpen(true));
    }

    void idleLineDoesNotSpin_data()
    {
        QTest::addColumn<QByteArray>("input"); // what the display says before it hangs up
        QTest::newRow("hang-up") << QByteArray();
        QTest::newRow("unread input, then hang-up") << QByteArray("\x06\x06\x06");
    }
    void idleLineDoesNotSpin()
    {
        QFETCH(QByteArray, input);
        Rig rig;
        QVERIFY(rig.port.portOpen());
        QVERIFY(rig.pty.write(input));
        if (input.isEmpty())
            rig.pty.closeMaster();
        const std::clock_t before = std::clock();
        QTest::qWait(300);
        const double cpu = double(std::clock() - before) / CLOCKS_PER_SEC;
        QVERIFY2(cpu < 0.15, qPrintable(QStringLiteral("%1 s of CPU in 0.3 s").arg(cpu)));
        QCOMPARE(rig.port.portOpen(), !input.isEmpty());
        // Input does not end the watch: a later hang-up still closes the port.
        rig.pty.closeMaster();
        QTRY_VERIFY(!serial(rig.port).isOpen());
    }

    void fullQueueIsNotAVanishedPort()
    {
        Rig rig;
        // Nobody reads the master: the pty fills up and a byte stays queued.
        QByteArray sent;
        while (sent.size() < (1 << 20) && rig.port.outBufferCount() == 0) {
            sent.append(static_cast<char>('a' + sent.size() % 26));
            QVERIFY(rig.port.output(static_cast<quint8>(sent.back())));
        }
        QVERIFY(rig.port.outBufferCount() > 0);
        // The far side reads again: the queue drains while the link keeps asking for the count,
        // and nothing is lost or repeated.
        QByteArray got;
        for (QDeadlineTimer deadline(10000); got.size() < sent.size() && !deadline.hasExpired();) {
            rig.port.outBufferCount();
            got += rig.pty.readAvailable();
        }
        QVERIFY(got == sent);
        QCOMPARE(rig.port.outBufferCount(), 0);
        QVERIFY(rig.port.portOpen());
    }
};

QTEST_GUILESS_MAIN(TestQtPortAdapter)
#include "tst_qtportadapter.moc"
