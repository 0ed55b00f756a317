#include "SerialDevices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// COMn entries of every kind in a scratch start-up directory, and a scratch device tree whose
// "devices" are links to /dev/null, the one character device every machine has.
class TestSerialDevices : public QObject
{
    Q_OBJECT

    QTemporaryDir m_app;
    QTemporaryDir m_root;

    QString app(const QString &name) const { return m_app.filePath(name); }
    QString dev(const QString &name) const { return m_root.filePath("dev/" + name); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(dev("serial/by-id")));
        QVERIFY(QFile::link("/dev/null", dev("ttyUSB0")));
        QVERIFY(QFile::link("/dev/null", dev("ttyS0")));
        QVERIFY(QFile::link("../../ttyUSB0", dev("serial/by-id/usb-Maker_A1B2-if00-port0")));
        QVERIFY(QFile::link("../../ttyUSB7", dev("serial/by-id/usb-Gone_C3-if00-port0")));
        QVERIFY(QFile::link("/dev/null", app("COM1")));
        QVERIFY(QFile::link(app("unplugged"), app("COM2")));
        QVERIFY(QFile::link(app("COM3"), app("COM3")));
        QFile plain(app("COM4"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkdir(app("COM5")));
        QVERIFY(QFile::link(dev("serial/by-id/usb-Maker_A1B2-if00-port0"), app("COM7")));
    }

    void entries_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("available"); // opened before: the built-in ttyS0
        const QString dir = m_app.path();
        QTest::newRow("link to a device") << 1 << "/dev/null"
                                          << "COM1 → /dev/null, present" << true;
        QTest::newRow("adapter unplugged")
            << 2 << dir + "/COM2"
            << "COM2 → " + dir + "/unplugged, which does not exist" << false;
        QTest::newRow("link loop")
            << 3 << dir + "/COM3"
            << "COM3 → " + dir + "/COM3 is a symbolic link that loops" << false;
        QTest::newRow("plain file")
            << 4 << dir + "/COM4" << dir + "/COM4 is a plain file, not a serial device" << false;
        QTest::newRow("directory")
            << 5 << dir + "/COM5" << dir + "/COM5 is a directory, not a serial device" << false;
        QTest::newRow("no entry, built-in port absent")
            << 6 << dev("ttyS5")
            << "COM6: no COM6 entry here, so the built-in port " + dev("ttyS5") +
                   ", which does not exist"
            << false;
        QTest::newRow("by-id link, followed to the device")
            << 7 << "/dev/null"
            << "COM7 → " + dev("serial/by-id/usb-Maker_A1B2-if00-port0") + " → /dev/null, present"
            << true;
    }
    void entries()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        QFETCH(QString, description);
        QFETCH(bool, available);
        const ComEntry entry = inspectComEntry(port, m_app.path(), m_root.path());
        QCOMPARE(entry.device, device);
        QCOMPARE(describeComEntry(entry), description);
        const ChosenPort chosen = chooseComPort(port, m_app.path(), m_root.path());
        QCOMPARE(chosenPortAvailable(chosen, dev("ttyS0")), available);
        QCOMPARE(inspectChosenPort(chosen).device, device);
    }

    void builtInPortOnlyWhenOpenedBefore()
    {
        // No COM1 entry: the built-in port, never opened on its own unless it was open before;
        // an entry made later changes nothing until the port is chosen again.
        QTemporaryDir empty;
        const ChosenPort chosen = chooseComPort(1, empty.path(), m_root.path());
        QVERIFY(QFile::link("/dev/zero", empty.filePath("COM1")));
        QVERIFY(!chosenPortAvailable(chosen, "/dev/null") &&
                chosenPortAvailable(chosen, dev("ttyS0")));
        QCOMPARE(inspectChosenPort(chosen).device, "/dev/null");
    }

    void adapters()
    {
        // By-id names first, a stale one left out.
        QCOMPARE(adapterHints(2, "/home/tech/till two", m_root.path()),
                 "Serial adapters on this machine:\n  " +
                     dev("serial/by-id/usb-Maker_A1B2-if00-port0") +
                     " → /dev/null\nTo make COM2 the first of them, run in /home/tech/till two:\n"
                     "  ln -sfn " +
                     dev("serial/by-id/usb-Maker_A1B2-if00-port0") + " COM2");
        // Without by-id entries, the USB and ACM devices in their natural order.
        QTemporaryDir bare;
        QVERIFY(QDir().mkpath(bare.filePath("dev")));
        for (const char *name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0"}) {
            QFile device(bare.filePath(QStringLiteral("dev/") + name));
            QVERIFY(device.open(QIODevice::WriteOnly));
        }
        QStringList names;
        for (const SerialAdapter &adapter : findSerialAdapters(bare.path()))
            names << QFileInfo(adapter.name).fileName();
        QCOMPARE(names, QStringList({"ttyACM0", "ttyUSB2", "ttyUSB10"}));
        QTemporaryDir nothing;
        QCOMPARE(adapterHints(1, nothing.path(), nothing.path()),
                 QStringLiteral("No serial adapter found: nothing in /dev/serial/by-id, no "
                                "/dev/ttyUSB* or /dev/ttyACM*."));
        // The port error box after trying the built-in port: why, the adapters, the advice last.
        const QString box = portErrorDetails(1, "/till", true, "Why.", "Advice.", bare.path());
        QVERIFY(box.startsWith("There is no COM1 entry in /till, so the built-in port was tried: "
                               "Why.\n\nSerial adapters on this machine:\n") &&
                box.endsWith(" COM1\n\nAdvice."));
    }
};

QTEST_GUILESS_MAIN(TestSerialDevices)
#include "tst_serialdevices.moc"
