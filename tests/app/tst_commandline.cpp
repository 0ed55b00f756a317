#include "AppRig.h"
#include "CommandLine.h"
#include "TestPty.h"
#include "VersionInfo.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A display that talks at 4800,N,8,1 and a file that wants it at 19200,E,7,1, with a message
// that would set a terminal's title: 8-bit letters, C0, DEL and C1 controls in Windows-1252.
const QByteArray File = "PoleSet   12-07-2026  10:00:00\r\nPort= 2\r\nBaud= 19200\r\nParity=E\r\n"
                        "BitLen= 7\r\nINChar= 10\r\nCodePage= 2\r\nEmulation=ESC/POS\r\n"
                        "Upper=Caf\xe9\xa0\x80\x1b]0;t\x07\t\x7f\x81\r\n";

// What the fake port does at a time into the run: its output stalls, it refuses every
// later open, or a signal comes.
enum Fault { None, Hangup = SIGHUP, Interrupt = SIGINT, Stall = 100, RefuseOpen };

struct Run
{
    int status;
    QString out, err;
};

// Standard error goes to a device, as to a terminal: what it holds is what a reader has seen.
QBuffer *errSeen = nullptr;

Run run(const QStringList &arguments, const CommandLineSystem &system = {})
{
    Run r;
    QBuffer errDevice;
    errSeen = &errDevice;
    QTextStream out(&r.out), err(&errDevice);
    errDevice.open(QIODevice::WriteOnly);
    r.status = runCommandLine(QStringList{"poleset"} + arguments, out, err, system);
    err.flush();
    r.err = QString::fromUtf8(errDevice.data());
    return r;
}

// Each byte as "settings:hex", so that a byte at the wrong speed or parity shows.
QStringList wire(const FakePort &port)
{
    QStringList bytes;
    for (const FakePort::Byte &b : port.bytes)
        bytes << b.settings.toString() + ':' + QByteArray(1, b.value).toHex();
    return bytes;
}

// What the window puts on the wire for the same file: the first Send, then every other row, up
// to the first Send that shows a box. `fault` prepares the port as the test prepared --apply's.
QStringList windowWire(const std::function<void(FakePort &)> &fault = {}, QString *line = nullptr)
{
    AppRig r(File);
    r.loadWithLinkUp();
    if (fault)
        fault(r.port);
    for (int row : {2, 0, 1, 3, 4, 5, 6}) {
        if (!r.prompter.boxes.empty())
            break;
        r.option("OptSetSel", row)->click();
        r.send();
        r.clock.advance(0.5);
    }
    if (line)
        *line = r.define.line().toString();
    return wire(r.port);
}

QByteArray windowBytes()
{
    QByteArray bytes;
    for (const QString &b : windowWire())
        bytes += QByteArray::fromHex(b.section(':', 1).toLatin1());
    return bytes;
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
        QTest::addColumn<QStringList>("arguments"); // PIPE, BIGPIPE: a pipe that holds the file
        QTest::addColumn<int>("status");            // (and 70 KiB more), as stdin
        QTest::addColumn<QString>("said");          // on stdout or stderr; ROOT: the device tree
        QTest::addColumn<int>("fault");             // not None: over a fake port
        QTest::addColumn<double>("at");
        const auto row = [](const char *name, const QStringList &arguments, int status,
                            const QString &said, Fault fault = None, double at = 0) {
            QTest::newRow(name) << arguments << status << said << int(fault) << at;
        };
        row("version, as the box, one dash", {"-version"}, 0, "poleset BOX\n");
        row("unknown option", {"--apply", "--speed"}, 2, "poleset: Unknown option 'speed'.");
        row("missing file, its name escaped", {"--apply", "\x1b[2J\x7f.ini"}, 2,
            "poleset: cannot read \\x1b[2J\\x7f.ini: there is no such file");
        row("a directory", {"--apply", "."}, 2, ".: it is a directory");
        row("a device", {"--apply", "/dev/null"}, 2, "it is a device");
        row("a pipe over 64 KiB", {"--apply", "BIGPIPE", "--dry-run"}, 2,
            "poleset: cannot read /dev/fd/N: it is longer than 64 KiB, the most a settings file "
            "may hold\n");
        row("rate the display lacks", {"--apply", "--line", "110,N,8,1"}, 2, "--line takes");
        row("port the window lacks", {"--apply", "--port=COM5"}, 2, "--port takes COM1 to COM4 or");
        row("COMn cannot be opened", {"--apply", "--port", "COM3"}, 1,
            "19200,E,7,1: COM3 → unplugged, which does not exist\nSerial adapters on this "
            "machine:\n  ROOT/dev/ttyUSB0\nTo make COM3 the first of them");
        row("device cannot be opened", {"--apply", "--port", "/dev/missing"}, 1,
            "\nTo use the first of them: --port ROOT/dev/ttyUSB0\n");
        row("dry run from stdin, no COMn entry", {"--apply", "-", "--dry-run"}, 0,
            "Port: no COM2 entry here, so the built-in ROOT/dev/ttyS1, which does not exist\n"
            "PC port at 19200,E,7,1\n");
        row("dry run from a pipe, a COMn entry",
            {"--apply", "PIPE", "--dry-run", "--port", "COM3", "--line", "4800,o,7,1"}, 0,
            "Port: COM3 → unplugged, which does not exist\nPC port at 4800,O,7,1\n");
        row("the item's frame stalls", {"--apply"}, 3,
            "Denmark II ... failed\npoleset: stopped at [2/7] International Character: a byte of "
            "its frame did not leave the port within 2 seconds; nothing more",
            Stall, 3);
        row("its closing frame stalls", {"--apply"}, 3,
            "ESC/POS ... sent, closing frame failed\npoleset: stopped at [1/7]: Command Emulation "
            "was sent; its closing frame did not leave the port within 2 seconds",
            Stall, 1);
        row("the port cannot follow the display", {"--apply"}, 3,
            "E-7-1 ... sent, port not opened again\npoleset: stopped at [6/7]: Communication was "
            "sent; the port could not be opened again at 19200,E,7,1 (gone); the display may now "
            "listen at 19200,E,7,1; nothing more was sent\n",
            RefuseOpen, 21);
        row("SIGHUP after the item's frame", {"--apply"}, 128 + SIGHUP,
            "E-7-1 ... sent, then SIGHUP\npoleset: stopped at [6/7]: Communication was sent; then "
            "SIGHUP came; the display may now listen at 19200,E,7,1; nothing more was sent\n",
            Hangup, 21);
        row("SIGINT after the closing frame, quiet", {"--apply", "--quiet"}, 128 + SIGINT,
            "poleset: stopped at [1/7]: Command Emulation was sent; then SIGINT came; nothing "
            "more was sent\n",
            Interrupt, 3);
    }
    void statuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(int, fault);
        QFETCH(double, at);
        FakeClock clock;
        FakePort port;
        clock.scheduleIn(at, [&] {
            if (fault == Stall)
                port.stalled = true;
            else if (fault == RefuseOpen)
                port.refuseOpen = QStringLiteral("gone");
            else if (fault != None)
                ::raise(fault);
        });
        const QByteArray piped =
            File + QByteArray(arguments.contains("BIGPIPE") ? 70 << 10 : 0, ' ');
        int pipe[2], stdinBefore = ::dup(STDIN_FILENO);
        QVERIFY(::pipe(pipe) == 0 && ::fcntl(pipe[1], F_SETPIPE_SZ, 1 << 17) > 0 &&
                ::write(pipe[1], piped.data(), size_t(piped.size())) == piped.size());
        ::close(pipe[1]), ::dup2(pipe[0], STDIN_FILENO);
        const QString fd = QStringLiteral("/dev/fd/%1").arg(pipe[0]);
        arguments.replaceInStrings(QRegularExpression("^(BIG)?PIPE$"), fd);
        const Run r = run(arguments, {&clock, fault != None ? &port : nullptr, m_dir.path()});
        ::dup2(stdinBefore, STDIN_FILENO), ::close(stdinBefore), ::close(pipe[0]);
        said.replace("ROOT", m_dir.path())
            .replace("/dev/fd/N", fd)
            .replace("BOX", versionMessage().section('\n', 2, 2).section(' ', -1));
        QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
        QCOMPARE(r.status, status);
    }

    // Before the window, without a display server: Qt's own options pass, anything else is
    // refused in one line, and without a screen the program says how to start it instead.
    void windowStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment"); // NAME=value
        QTest::addColumn<int>("status");          // -1: the window starts
        QTest::addColumn<QString>("said");
        const QString help = " (poleset --help shows the options)\n";
        const QString noScreen = "poleset: no screen to show the window on (neither DISPLAY nor "
                                 "WAYLAND_DISPLAY is set): start PoleSet in a desktop session, "
                                 "or set up the display from this terminal with poleset --apply "
                                 "FILE\n";
        QTest::newRow("a typo, no screen")
            << QStringList{"--aply", "x.ini"} << "" << 2 << "poleset: unknown option --aply" + help;
        QTest::newRow("a typo, a screen")
            << QStringList{"-platform", "offscreen", "-aply"} << "DISPLAY=:0" << 2
            << "poleset: unknown option -aply" + help;
        QTest::newRow("a file") << QStringList{"x.ini"} << "DISPLAY=:0" << 2
                                << "poleset: unexpected argument x.ini" + help;
        QTest::newRow("a value missing") << QStringList{"-reverse", "-style"} << "DISPLAY=:0" << 2
                                         << "poleset: -style needs a value" + help;
        QTest::newRow("Qt's options with their values, offscreen")
            << QStringList{"-style=fusion", "--reverse", "-qwindowtitle", "-x",
                           "-platform",     "offscreen"}
            << "" << -1 << "";
        QTest::newRow("no screen") << QStringList{} << "" << 1 << noScreen;
        QTest::newRow("a Wayland session")
            << QStringList{} << "WAYLAND_DISPLAY=wayland-0" << -1 << "";
        QTest::newRow("-display names one") << QStringList{"-display", ":1"} << "" << -1 << "";
    }
    void windowStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(int, status);
        QFETCH(QString, said);
        QProcessEnvironment env;
        if (!environment.isEmpty())
            env.insert(environment.section('=', 0, 0), environment.section('=', 1));
        QString err;
        QTextStream errStream(&err);
        QCOMPARE(checkWindowStart(QStringList{"poleset"} + arguments, env, errStream), status);
        QCOMPARE(err, said);
    }

    // The program itself: started with standard error closed, its descriptor 2 is /dev/null
    // before the window connects anywhere; a closing terminal ends the window; a typo without a
    // screen is a usage error, not Qt's abort; help that cannot be written is a failure.
    void theProgramItself()
    {
        TestPty pty;
        QTemporaryDir dir;
        QFile ini(dir.filePath("PoleSet.ini"));
        QVERIFY(pty.linkAs(dir.path()) && ini.open(QIODevice::WriteOnly) &&
                ini.write("PoleSet\r\nPort= 1\r\nBaud= 4800\r\n") > 0 && ini.flush());
        QProcess poleset;
        poleset.setWorkingDirectory(dir.path());
        poleset.start("/bin/sh", {"-c", "exec \"$0\" \"$@\" 2>&-", POLESET_PROGRAM, "-platform",
                                  "offscreen", "-reverse"});
        // Up once its port is open (at the file's speed).
        QTRY_COMPARE_WITH_TIMEOUT(pty.lineSpeed(), 4800, 20000);
        const QString fd2 = QStringLiteral("/proc/%1/fd/2").arg(poleset.processId());
        QCOMPARE(QFileInfo(fd2).symLinkTarget(), "/dev/null");
        ::kill(pid_t(poleset.processId()), SIGHUP);
        QVERIFY(poleset.waitForFinished(20000) && poleset.exitStatus() == QProcess::NormalExit);
        QCOMPARE(poleset.exitCode(), 0);

        QProcessEnvironment noScreen = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            noScreen.remove(name);
        poleset.setProcessEnvironment(noScreen);
        poleset.start(POLESET_PROGRAM, {"--aply", "x.ini"});
        QVERIFY(poleset.waitForFinished(20000) && poleset.exitStatus() == QProcess::NormalExit);
        QCOMPARE(poleset.exitCode(), 2);

        poleset.setStandardOutputFile("/dev/full");
        poleset.start(POLESET_PROGRAM, {"--help"});
        QVERIFY(poleset.waitForFinished(20000));
        QCOMPARE(poleset.exitCode(), 1);
        QCOMPARE(poleset.readAllStandardError(),
                 "poleset: the standard output could not be written: No space left on device\n");
    }

    void applyOverALine_data()
    {
        QTest::addColumn<double>("hangUpAt"); // seconds into the run; 1e6 is after its end
        QTest::newRow("whole set-up") << 1e6;
        QTest::newRow("hang-up before the third item") << 7.0;
    }
    void applyOverALine()
    {
        QFETCH(double, hangUpAt);
        TestPty pty;
        FakeClock clock;
        // Sampled in each item's closing-frame wait (frame, 2 s, closing frame, 2 s): by then the
        // progress has reached the terminal up to this item's line.
        QByteArray seen;
        QList<int> speeds;
        QStringList progress;
        for (int item = 0; item < 7; ++item)
            clock.scheduleIn(4 * item + 3, [&] {
                seen += pty.readAvailable();
                speeds << pty.lineSpeed();
                progress << QString::fromUtf8(errSeen->data()).section(QLatin1Char('\n'), -1);
            });
        clock.scheduleIn(hangUpAt, [&] {
            seen += pty.readAvailable();
            pty.hangUp();
        });
        const Run r = run({"--apply", "--port", pty.slavePath(), "--line", "4800,N,8,1"}, {&clock});
        seen += pty.readAvailable();
        if (hangUpAt < 1e6) {
            QCOMPARE(r.status, 3);
            QVERIFY2(r.err.contains("poleset: stopped at [3/7] Code Page: the port went away") &&
                         !r.err.contains("[4/7]"),
                     qPrintable(r.err));
            QCOMPARE(seen, windowBytes().left(2 * 17)); // two items whole
        } else {
            QVERIFY2(r.status == 0, qPrintable(r.err));
            QVERIFY(r.err.startsWith("[1/7] Command Emulation: ESC/POS ... sent\n"
                                     "[2/7] International Character: Denmark II ... sent\n"));
            QVERIFY(r.err.contains(
                "[4/7] Upper line message: \"Café\u00a0€\\x1b]0;t\\x07\\x09\\x7f\\x81\""));
            QCOMPARE(seen, windowBytes());
            // The display's speed until the last item's frame, the file's after it.
            QCOMPARE(speeds, QList<int>({4800, 4800, 4800, 4800, 4800, 4800, 19200}));
            QCOMPARE(progress.first(), "[1/7] Command Emulation: ESC/POS ... ");
            QCOMPARE(progress.last(), "[7/7] Baud rate: 19,200bps ... ");
        }
        QCOMPARE(QFile(QStringLiteral("PoleSet.ini")).size(), qint64(File.size())); // only read
    }

    // The window's seven Sends, --apply and the dry run walk one road: the same bytes at the same
    // line settings, whole or cut short by a fault at any frame, and the same line afterwards.
    void sameSendsEverywhere_data()
    {
        QTest::addColumn<int>("frame");     // the frame that fails (2n: item n's, 2n+1: its
                                            // closing frame); -1 none
        QTest::addColumn<bool>("noReopen"); // instead the port cannot follow item n's line
        QTest::newRow("whole") << -1 << false;
        for (int f = 0; f < 14; ++f)
            QTest::addRow("frame %d stalls", f) << f << false;
        QTest::newRow("no re-open after Communication") << 10 << true;
        QTest::newRow("no re-open after Baud rate") << 12 << true;
    }
    void sameSendsEverywhere()
    {
        QFETCH(int, frame);
        QFETCH(bool, noReopen);
        // The frames and the line's changes, from the dry run.
        QList<qsizetype> ends{0};
        QStringList dryWire;
        LineSettings line = *LineSettings::fromString(u"19200,E,7,1");
        for (const QString &l : run({"--apply", "--dry-run"}).out.split('\n')) {
            const QString said = l.section(QStringLiteral(": "), 1);
            if (said.startsWith(QLatin1String("PC port now at ")))
                line = *LineSettings::fromString(said.mid(15));
            else if (l.startsWith('['))
                for (const QString &b : said.split(' '))
                    dryWire << line.toString() + ':' + b.toLower();
            if (l.startsWith('[') && !said.startsWith(QLatin1String("PC port")))
                ends << dryWire.size();
        }
        const auto fault = [&](FakePort &port) {
            if (frame >= 0)
                port.afterByte = [&port, at = ends.value(frame + noReopen) + !noReopen, noReopen] {
                    if (port.bytes.size() == size_t(at))
                        noReopen ? void(port.refuseOpen = "gone") : void(port.stalled = true);
                };
        };
        FakeClock clock;
        FakePort port;
        fault(port);
        const Run applied = run({"--apply"}, {&clock, &port, m_dir.path()});
        QString windowLine;
        QCOMPARE(windowWire(fault, &windowLine), wire(port));
        QCOMPARE(applied.status, frame < 0 ? 0 : 3);
        if (frame < 0)
            QCOMPARE(wire(port), dryWire);
        if (noReopen)
            QVERIFY2(applied.err.contains("opened again at " + windowLine),
                     qPrintable(applied.err));
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
