#include "AppRig.h"
#include "CommandLine.h"
#include "TestPty.h"

namespace {

// A display that talks at 4800,N,8,1 and a file that wants it at 19200,E,7,1.
const QByteArray File = "PoleSet   12-07-2026  10:00:00\r\nPort= 2\r\nBaud= 19200\r\nParity=E\r\n"
                        "BitLen= 7\r\nINChar= 10\r\nCodePage= 2\r\nEmulation=ESC/POS\r\n"
                        "Upper=Welcome\r\n";

struct Run
{
    int status;
    QString out;
    QString err;
};

Run run(QStringList arguments, Clock *clock = nullptr)
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    arguments.prepend(QStringLiteral("poleset"));
    r.status = runCommandLine(arguments, out, err, clock);
    return r;
}

// What the window puts on the wire for the same file: the first Send, then every other row.
QByteArray windowBytes()
{
    AppRig r(File);
    r.loadWithLinkUp();
    for (int row : {2, 0, 1, 3, 4, 5, 6}) {
        r.w().OptSetSel[row]->click();
        r.w().CmdSend->click();
        r.clock.advance(0.5);
    }
    return r.port.written();
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_previousDir = QDir::currentPath();

private slots:
    void initTestCase()
    {
        QDir::setCurrent(m_dir.path());
        QFile file(QStringLiteral("PoleSet.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(File) == File.size());
        QVERIFY(QFile::link(QStringLiteral("unplugged"), QStringLiteral("COM3")));
    }
    void cleanupTestCase() { QDir::setCurrent(m_previousDir); }

    void statuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // the start of the first line on stdout or stderr
        QTest::newRow("version") << QStringList{"--version"} << 0 << "poleset 1.0";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: poleset";
        QTest::newRow("unknown option")
            << QStringList{"--apply", "--speed"} << 2 << "poleset: Unknown option 'speed'.";
        QTest::newRow("missing file") << QStringList{"--apply", "nothing.ini"} << 2
                                      << "poleset: cannot read nothing.ini: there is no such file";
        QTest::newRow("line at a rate the display lacks")
            << QStringList{"--apply", "--line", "110,N,8,1"} << 2 << "poleset: --line takes";
        QTest::newRow("port cannot be opened")
            << QStringList{"--apply", "--port", "COM3"} << 1
            << "poleset: the port cannot be opened at 19200,E,7,1: COM3 → unplugged, which does "
               "not exist";
        QTest::newRow("dry run opens no port")
            << QStringList{"--apply", "--port", "/dev/missing", "--dry-run"} << 0
            << "PC port at 19200,E,7,1";
    }
    void statuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        const Run r = run(arguments);
        QCOMPARE(r.status, status);
        QVERIFY2((r.out + r.err).startsWith(said), qPrintable(r.out + r.err));
        QCOMPARE(r.err.contains("erial adapter"), status == 1); // the port error's hints
    }

    void dryRunShowsWhatTheWindowSends()
    {
        const Run r = run({"--apply", "--dry-run", "--line", "4800,N,8,1"});
        QByteArray frames;
        for (const QString &line : r.out.split(QLatin1Char('\n'))) {
            const QString hex = line.section(QStringLiteral(": "), 1);
            if (line.startsWith(QLatin1Char('[')) && !hex.startsWith(QLatin1String("PC port")))
                frames += QByteArray::fromHex(hex.toLatin1());
        }
        QCOMPARE(frames, windowBytes());
        QVERIFY(r.out.contains("[6/7] Communication: PC port now at 4800,E,7,1\n"
                               "[6/7] Communication, closing frame"));
    }

    void applyOverALine_data()
    {
        QTest::addColumn<double>("hangUpAt"); // seconds into the run; 0 for never
        QTest::newRow("whole set-up") << 0.0;
        QTest::newRow("hang-up before the third item") << 7.0;
    }
    void applyOverALine()
    {
        QFETCH(double, hangUpAt);
        TestPty pty;
        QVERIFY(pty.valid);
        FakeClock clock;
        // Each item: its frame and the closing frame, each followed by its 2-second wait.
        QByteArray seen;
        QList<int> speeds;
        for (int item = 0; item < 7; ++item) {
            clock.scheduleIn(4 * item + 3, [&] {
                seen += pty.readAvailable();
                speeds << pty.lineSpeed();
            });
        }
        if (hangUpAt > 0)
            clock.scheduleIn(hangUpAt, [&] {
                seen += pty.readAvailable();
                pty.hangUp();
            });
        const Run r = run({"--apply", "--port", pty.slavePath(), "--line", "4800,N,8,1"}, &clock);
        seen += pty.readAvailable();
        if (hangUpAt > 0) {
            QCOMPARE(r.status, 3);
            QVERIFY2(r.err.contains("poleset: stopped at [3/7] Code Page: the port went away"),
                     qPrintable(r.err));
            QVERIFY(!r.err.contains(QStringLiteral("[4/7]")));
            QCOMPARE(seen, windowBytes().left(seen.size()));
            QCOMPARE(seen.size(), 2 * 17); // two items whole
        } else {
            QVERIFY2(r.status == 0, qPrintable(r.err));
            QVERIFY(r.err.startsWith("[1/7] Command Emulation: ESC/POS ... sent\n"
                                     "[2/7] International Character: Denmark II ... sent\n"));
            QCOMPARE(seen, windowBytes());
            // The display's speed until the last item's frame, the file's after it.
            QCOMPARE(speeds, QList<int>({4800, 4800, 4800, 4800, 4800, 4800, 19200}));
        }
        QCOMPARE(QFile(QStringLiteral("PoleSet.ini")).size(), qint64(File.size())); // only read
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
