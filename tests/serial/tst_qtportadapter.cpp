#include "QtPortAdapter.h"
#include "TestPty.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

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
        Rig() { port.setPortOpen(linked); }
    };

    static const QSerialPort &serial(const QtPortAdapter &port) { return port.serialPort(); }

private slots:
    void settingsTakeEffect()
    {
        Rig rig;
        QCOMPARE(rig.pty.lineSpeed(), 9600); // before any settings are given
        for (const char *bad : {"9600,N,8", "0,N,8,1", "9600,X,8,1", "9600,N,9,1", "9600,N,8,2"})
            QVERIFY_THROWS_EXCEPTION(PortError, rig.port.setSettings(QLatin1String(bad)));
        QCOMPARE(rig.port.settings(), QStringLiteral("9600,N,8,1"));
        // On a closed port a change waits for the next open; parity and data bits only show in Qt.
        rig.port.setPortOpen(false);
        rig.port.setSettings(QStringLiteral("4800,O,7,1"));
        QVERIFY(!rig.port.portOpen());
        rig.port.setPortOpen(true);
        QCOMPARE(rig.pty.lineSpeed(), 4800);
        QCOMPARE(serial(rig.port).parity(), QSerialPort::OddParity);
        QCOMPARE(serial(rig.port).dataBits(), QSerialPort::Data7);
    }

    void busyPortSaysSo()
    {
        Rig rig;
        // A second adapter on the device the rig holds; a link that leads nowhere is not opened.
        QtPortAdapter other(rig.dir.path());
        const QString pts = rig.pty.slavePath();
        QString failure;
        try {
            other.setPortOpen(true);
        } catch (const PortError &e) {
            failure = e.device() + ": " + e.reason();
        }
        QCOMPARE(failure, pts + ": " + pts + " is busy: another program holds it");
        QVERIFY(!other.portOpen() && rig.port.output(0x41) && rig.pty.readAvailable(20) == "A");
    }

    void farSideClosesMidSend()
    {
        Rig rig;
        rig.pty.hangUp();
        QVERIFY(rig.port.portOpen() && !rig.port.output(0x41));
        // Closed for good, its descriptor as well.
        QVERIFY(!rig.port.portOpen() && !serial(rig.port).isOpen() && !rig.port.dsrHolding());
        QVERIFY_THROWS_EXCEPTION(PortError, rig.port.setPortOpen(true));
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
        // The far side reads again: the queue drains while the link keeps asking for the count,
        // and nothing is lost or repeated.
        QByteArray got;
        for (QDeadlineTimer deadline(10000); got.size() < sent.size() && !deadline.hasExpired();) {
            rig.port.outBufferCount();
            got += rig.pty.readAvailable();
        }
        QVERIFY(got == sent && rig.port.outBufferCount() == 0 && rig.port.portOpen());
        // Emptied on request, full again: what is still queued is dropped.
        while (got.size() < (2 << 20) && rig.port.outBufferCount() == 0 && rig.port.output(0x55))
            got += 'U';
        rig.port.clearOutBuffer();
        QCOMPARE(rig.port.outBufferCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestQtPortAdapter)
#include "tst_qtportadapter.moc"
