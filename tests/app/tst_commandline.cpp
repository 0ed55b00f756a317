#include "AppRig.h"
#include "CommandLine.h"
#include "TestPty.h"
#include "VersionInfo.h"

#include <csignal>
#include <unistd.h>

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

// Standard error goes to a device, as to a terminal: what it holds is what a reader has seen.
QBuffer *errSeen = nullptr;

Run run(QStringList arguments, const CommandLineSystem &system = {})
{
    Run r;
    QBuffer errDevice;
    errDevice.open(QIODevice::WriteOnly);
    errSeen = &errDevice;
    {
        QTextStream out(&r.out), err(&errDevice);
        arguments.prepend(QStringLiteral("poleset"));
        r.status = runCommandLine(arguments, out, err, system);
    }
    r.err = QString::fromUtf8(errDevice.data());
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
        // The device tree the command line looks at: one adapter, no built-in ports.
        QVERIFY(QDir().mkpath(QStringLiteral("dev")) &&
                QFile(QStringLiteral("dev/ttyUSB0")).open(QIODevice::WriteOnly));
    }
    void cleanupTestCase() { QDir::setCurrent(m_previousDir); }

    void statuses_data()
    {
        QTest::addColumn<QStringList>("arguments"); // PIPE: a pipe that holds the file, as stdin
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // the start of stdout or stderr; ROOT: the device tree
        QTest::addColumn<QString>("also"); // said anywhere after it
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: poleset"
                              << "";
        QTest::newRow("unknown option")
            << QStringList{"--apply", "--speed"} << 2 << "poleset: Unknown option 'speed'."
            << "";
        QTest::newRow("missing file, its name escaped")
            << QStringList{"--apply", "\x1b[2J\x7f.ini"} << 2
            << "poleset: cannot read \\x1b[2J\\x7f.ini: there is no such file"
            << "";
        QTest::newRow("a directory")
            << QStringList{"--apply", "."} << 2 << "poleset: cannot read .: it is a directory"
            << "";
        QTest::newRow("a device") << QStringList{"--apply", "/dev/null"} << 2
                                  << "poleset: cannot read /dev/null: it is a device"
                                  << "";
        QTest::newRow("line at a rate the display lacks")
            << QStringList{"--apply", "--line", "110,N,8,1"} << 2 << "poleset: --line takes"
            << "";
        QTest::newRow("a port the window does not know")
            << QStringList{"--apply", "--port", "COM5"} << 2
            << "poleset: --port takes COM1 to COM4 or the absolute path of a device"
            << "";
        QTest::newRow("COMn cannot be opened")
            << QStringList{"--apply", "--port", "COM3"} << 1
            << "poleset: the port cannot be opened at 19200,E,7,1: COM3 → unplugged, which does "
               "not exist"
            << "  ln -sfn ROOT/dev/ttyUSB0 COM3\n";
        QTest::newRow("device cannot be opened")
            << QStringList{"--apply", "--port", "/dev/missing"} << 1
            << "poleset: the port cannot be opened"
            << "To use the first of them: --port ROOT/dev/ttyUSB0\n";
        QTest::newRow("dry run from stdin, no COMn entry")
            << QStringList{"--apply", "-", "--dry-run"} << 0
            << "Port: no COM2 entry here, so the built-in ROOT/dev/ttyS1, which does not exist\n"
               "PC port at 19200,E,7,1\n"
            << "[4/7] Upper line message: 0C 02 05 4C 31 57 65";
        QTest::newRow("dry run from a pipe, a COMn entry")
            << QStringList{"--apply", "PIPE", "--dry-run", "--port", "COM3"} << 0
            << "Port: COM3 → unplugged, which does not exist\n"
            << "[7/7] Baud rate";
    }
    void statuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(QString, also);
        int pipe[2];
        QVERIFY(::pipe(pipe) == 0 &&
                ::write(pipe[1], File.data(), size_t(File.size())) == File.size());
        ::close(pipe[1]);
        const int stdinBefore = ::dup(STDIN_FILENO);
        ::dup2(pipe[0], STDIN_FILENO);
        arguments.replaceInStrings(QStringLiteral("PIPE"),
                                   QStringLiteral("/dev/fd/%1").arg(pipe[0]));
        const Run r = run(arguments, {nullptr, nullptr, m_dir.path()});
        ::dup2(stdinBefore, STDIN_FILENO);
        ::close(stdinBefore), ::close(pipe[0]);
        const QString text = r.out + r.err;
        QCOMPARE(r.status, status);
        QVERIFY2(text.startsWith(said.replace("ROOT", m_dir.path())), qPrintable(text));
        QVERIFY2(text.contains(also.replace("ROOT", m_dir.path())), qPrintable(text));
    }

    void window_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("Qt's own options")
            << QStringList{"-platform", "offscreen", "-style", "fusion", "-reverse"} << false;
        QTest::newRow("a stray word") << QStringList{"till-3.ini"} << false;
        QTest::newRow("-h") << QStringList{"-reverse", "-h"} << true;
        QTest::newRow("--port=COM1") << QStringList{"--port=COM1"} << true;
    }
    void window()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, terminal);
        QCOMPARE(wantsCommandLine(QStringList{"poleset"} + arguments), terminal);
    }

    // The program itself, given Qt's options, takes them and starts its window.
    void windowStartsWithQtOptions()
    {
        TestPty pty;
        QTemporaryDir dir;
        QVERIFY(pty.linkAs(dir.path()));
        QProcess poleset;
        poleset.setWorkingDirectory(dir.path());
        poleset.start(POLESET_PROGRAM, {"-platform", "offscreen", "-reverse", "stray"});
        // Up once its port is open; then a termination signal closes the window.
        const auto portOpen = [&] {
            for (const QFileInfo &fd : QDir(QStringLiteral("/proc/%1/fd").arg(poleset.processId()))
                                           .entryInfoList(QDir::System))
                if (fd.symLinkTarget() == pty.slavePath())
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(portOpen(), 20000);
        ::kill(pid_t(poleset.processId()), SIGTERM);
        QVERIFY(poleset.waitForFinished(20000));
        QCOMPARE(poleset.exitStatus(), QProcess::NormalExit);
        QCOMPARE(poleset.exitCode(), 0);
        QVERIFY(poleset.readAllStandardError().contains("poleset: ignored: stray (poleset --help"));
    }

    void versionAgreesWithTheBox()
    {
        const QString box = versionMessage().section(QLatin1Char('\n'), 2, 2).simplified();
        QCOMPARE(QStringLiteral("poleset ") + box.section(QLatin1Char(' '), 1),
                 run({"--version"}).out.section(QLatin1Char('\n'), 0, 0));
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

    // Over the fake port: what the progress shows of a file's text, and which frame failed.
    void applyOverAFakePort_data()
    {
        QTest::addColumn<QByteArray>("upper"); // the file's Upper=, in Windows-1252
        QTest::addColumn<double>("stallAt");   // seconds into the run; 0 for never
        QTest::addColumn<QString>("said");
        QTest::newRow("C0")
            << QByteArray("\x1b]0;title\x07\x1b[2J\t") << 0.0
            << "[4/7] Upper line message: \"\\x1b]0;title\\x07\\x1b[2J\\x09\" ... sent";
        QTest::newRow("DEL and C1") << QByteArray("a\x7f\x81\x9d") << 0.0
                                    << "[4/7] Upper line message: \"a\\x7f\\x81\\x9d\" ... sent";
        QTest::newRow("8-bit letters")
            << QByteArray("Caf\xe9 \x80") << 0.0 << "[4/7] Upper line message: \"Café €\" ... sent";
        QTest::newRow("the item's frame")
            << QByteArray("Welcome") << 3.0
            << "[2/7] International Character: Denmark II ... failed\n"
               "poleset: stopped at [2/7] International Character: a byte of its frame did not "
               "leave the port within 2 seconds; nothing more was sent\n";
        QTest::newRow("the closing frame")
            << QByteArray("Welcome") << 1.0
            << "[1/7] Command Emulation: ESC/POS ... sent, closing frame failed\n"
               "poleset: stopped at [1/7]: Command Emulation was sent; its closing frame did not "
               "leave the port within 2 seconds; nothing more was sent\n";
    }
    void applyOverAFakePort()
    {
        QFETCH(QByteArray, upper);
        QFETCH(double, stallAt);
        QFETCH(QString, said);
        QFile file(QStringLiteral("fake.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write(File + "Upper=" + upper + "\r\n") > 0);
        file.close();
        FakeClock clock;
        FakePort port;
        if (stallAt > 0)
            clock.scheduleIn(stallAt, [&] { port.stalled = true; });
        const Run r = run({"--apply", "fake.ini"}, {&clock, &port});
        QCOMPARE(r.status, stallAt > 0 ? 3 : 0);
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
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
        // Each item: its frame and the closing frame, each followed by its 2-second wait. In the
        // closing frame's wait the progress has reached the terminal up to this item's line.
        QByteArray seen;
        QList<int> speeds;
        QStringList progress;
        for (int item = 0; item < 7; ++item) {
            clock.scheduleIn(4 * item + 3, [&] {
                seen += pty.readAvailable();
                speeds << pty.lineSpeed();
                progress << QString::fromUtf8(errSeen->data()).section(QLatin1Char('\n'), -1);
            });
        }
        if (hangUpAt > 0)
            clock.scheduleIn(hangUpAt, [&] {
                seen += pty.readAvailable();
                pty.hangUp();
            });
        const Run r = run({"--apply", "--port", pty.slavePath(), "--line", "4800,N,8,1"}, {&clock});
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
            QCOMPARE(progress.first(), "[1/7] Command Emulation: ESC/POS ... ");
            QCOMPARE(progress.last(), "[7/7] Baud rate: 19,200bps ... ");
        }
        QCOMPARE(QFile(QStringLiteral("PoleSet.ini")).size(), qint64(File.size())); // only read
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
