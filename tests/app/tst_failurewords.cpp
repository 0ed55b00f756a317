#include "FailureWords.h"
#include "SettingsFile.h"
#include "StartFolder.h"

#include <QtTest>

// COMn entries of every kind in a scratch start-up directory, and a scratch device tree whose
// "devices" are links to /dev/null, the one character device every machine has.
class TestFailureWords : public QObject
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
        QVERIFY(QFile(app("COM4")).open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkdir(app("COM5")));
        QVERIFY(QFile::link(dev("serial/by-id/usb-Maker_A1B2-if00-port0"), app("COM7")));
    }

    void entries_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("available"); // opened before: the built-in ttyS0
        const auto row = [&](const char *name, int port, const QString &device,
                             const QString &description, bool available = false) {
            QTest::newRow(name) << port << device << description << available;
        };
        const QString com = m_app.filePath("COM");
        row("link to a device", 1, "/dev/null", "COM1 → /dev/null, present", true);
        row("adapter unplugged", 2, com + '2',
            "COM2 → " + app("unplugged") + ", which does not exist");
        row("link loop", 3, com + '3', "COM3 → " + com + "3 is a symbolic link that loops");
        row("plain file", 4, com + '4', com + "4 is a plain file, not a serial device");
        row("directory", 5, com + '5', com + "5 is a directory, not a serial device");
        row("no entry, built-in port absent", 6, dev("ttyS5"),
            "COM6: no COM6 entry here, so the built-in port " + dev("ttyS5") +
                ", which does not exist");
        row("by-id link, followed to the device", 7, "/dev/null",
            "COM7 → " + dev("serial/by-id/usb-Maker_A1B2-if00-port0") + " → /dev/null, present",
            true);
    }
    void entries()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        QFETCH(QString, description);
        QFETCH(bool, available);
        const ChosenPort chosen = chooseComPort(port, StartDir(m_app.path()), m_root.path());
        const ComEntry entry = inspectChosenPort(chosen);
        QCOMPARE(entry.device, device);
        QCOMPARE(describeComEntry(entry), description);
        QCOMPARE(chosenPortAvailable(chosen, dev("ttyS0")), available);
    }

    // COM1 and the settings file are found whatever the start-up folder's name and its parents; a
    // lookup that fails for any other reason than "no such entry" is said, and never leads to the
    // built-in port.
    void anyStartFolder_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("parentMode");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("description"); // %1: the folder
        const QString found = "COM1 → /dev/null, present";
        QTest::newRow("Latin-1 name") << QByteArray("caf\xe9") << 0755 << 0777 << found;
        QTest::newRow("parent closed to the user") << QByteArray("till") << 0700 << 0777 << found;
        QTest::newRow("folder closed to the user")
            << QByteArray("till") << 0755 << 0700
            << "%1/COM1 cannot be looked up: Permission denied";
    }
    void anyStartFolder()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, parentMode);
        QFETCH(int, mode);
        QFETCH(QString, description);
        if (::geteuid() != 0)
            QSKIP("needs root, to look as user nobody");
        StartFolder folder(name);
        Define d{.ComPort = 3, .AppDir = QDir::currentPath(), .startDir = StartDir::current()};
        QVERIFY(folder.entered && ::symlink("/dev/null", "COM1") == 0 && SaveSettings(d) &&
                ::chmod("PoleSet.ini", 0666) == 0);
        QVERIFY(folder.closeAsNobody(mode_t(parentMode), mode_t(mode)));
        const ChosenPort chosen = chooseComPort(1, d.startDir, m_root.path());
        QCOMPARE(describeComEntry(inspectChosenPort(chosen)), description.replace("%1", d.AppDir));
        ReadSettings(d);
        QCOMPARE(d.ComPort, mode == 0777 ? 3 : 1);
        QCOMPARE(SaveSettings(d), mode == 0777);
    }

    void builtInPortOnlyWhenOpenedBefore()
    {
        // No COM1 entry: the built-in port, never opened on its own unless it was open before;
        // an entry made later changes nothing until the port is chosen again.
        QTemporaryDir empty;
        const ChosenPort chosen = chooseComPort(1, StartDir(empty.path()), m_root.path());
        QVERIFY(QFile::link("/dev/zero", empty.filePath("COM1")));
        QVERIFY(!chosenPortAvailable(chosen, "/dev/null") &&
                chosenPortAvailable(chosen, dev("ttyS0")));
        QCOMPARE(inspectChosenPort(chosen).device, "/dev/null");
    }

    void adapters()
    {
        // By-id names first, a stale one left out.
        const QString byId = dev("serial/by-id/usb-Maker_A1B2-if00-port0");
        QCOMPARE(adapterHints(2, "/home/tech/till two", findSerialAdapters(m_root.path())),
                 "Serial adapters on this machine:\n  " + byId +
                     " → /dev/null\nTo make COM2 the first of them, run in /home/tech/till two:\n"
                     "  ln -sfn " +
                     byId + " COM2");
        // Without by-id entries, the USB and ACM devices in their natural order.
        QTemporaryDir bare;
        QVERIFY(QDir().mkpath(bare.filePath("dev")));
        for (const char *name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0"})
            QVERIFY(QFile(bare.filePath(QStringLiteral("dev/") + name)).open(QIODevice::WriteOnly));
        QCOMPARE(adapterHints(1, "/till", findSerialAdapters(m_app.path())),
                 QStringLiteral("No serial adapter found: nothing in /dev/serial/by-id, no "
                                "/dev/ttyUSB* or /dev/ttyACM*."));
        // The port error box after trying the built-in port: why, the adapters, the advice last.
        const QString tty = bare.filePath("dev/tty");
        const PortFailure denied{
            .kind = PortFailure::PermissionDenied, .device = "/d", .builtIn = true};
        QCOMPARE(portErrorDetails(1, "/till", denied, findSerialAdapters(bare.path())),
                 "There is no COM1 entry in /till, so the built-in port was tried: /d: permission "
                 "denied.\n\n"
                 "Serial adapters on this machine:\n  " +
                     tty + "ACM0\n  " + tty + "USB2\n  " + tty +
                     "USB10\nTo make COM1 the first of them, run in /till:\n  ln -sfn " + tty +
                     "ACM0 COM1\n\nAdd your user to the dialout group and log in again.");
    }
};

QTEST_GUILESS_MAIN(TestFailureWords)
#include "tst_failurewords.moc"
