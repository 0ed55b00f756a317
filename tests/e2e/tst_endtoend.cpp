// PoleSet on a real line: the port adapter over a pseudo-terminal under the window, and the
// program itself as a process.
#include "FakeClock.h"
#include "FakePrompter.h"
#include "FrmMain.h"
#include "QtPortAdapter.h"
#include "TestPty.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <csignal>

namespace {

// The real window and port adapter on a pseudo-terminal linked as COM1, in virtual time.
struct Line
{
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    TestPty pty;
    bool linked = pty.linkAs(dir.path());
    Define define;
    FakeClock clock;
    FakePrompter prompter;
    std::unique_ptr<QtPortAdapter> port = std::make_unique<QtPortAdapter>(dir.path());
    std::unique_ptr<FrmMain> window;

    Line() { QDir::setCurrent(dir.path()); }
    ~Line()
    {
        window.reset();
        port.reset();
        QDir::setCurrent(previousDir);
    }
    // Start-up and the first tick of the link monitor: a pseudo-terminal holds DSR.
    bool start()
    {
        window = std::make_unique<FrmMain>(define, *port, clock, prompter);
        if (!linked || !window->Form_Load())
            return false;
        clock.advance(0.5);
        return window->CmdSend->isVisibleTo(window.get());
    }
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void farSideClosesDuringTheTestPrint()
    {
        Line line;
        QVERIFY(line.start());
        line.window->CboBaud->setCurrentIndex(7); // 19,200bps, the PC port following
        line.window->CmdSend->click();
        line.clock.advance(0.5);
        QCOMPARE(line.pty.speed(), 19200);
        // Hang the line up in the settle wait of the third text.
        line.clock.scheduleIn(2 * 2.0 + 1.0, [&] {
            line.pty.readAvailable(20);
            line.pty.hangUp();
        });
        const double start = line.clock.now();
        line.window->MenuTest->trigger();
        // Every later text fails at once, one box each; no drain wait ran out.
        QCOMPARE(line.prompter.boxes.size(), size_t(16));
        QCOMPARE(line.clock.nappedSeconds(), 0.0);
        QVERIFY(qAbs(line.clock.now() - start - 19 * 2.0) < 0.01);
        QVERIFY(!line.port->portOpen());
        line.clock.advance(0.5);
        QVERIFY(!line.window->CmdSend->isVisibleTo(line.window.get()));

        // Unplugged: the link goes too, and for a while nothing is there.
        QVERIFY(QFile::remove(line.dir.filePath(QStringLiteral("COM1"))));
        line.clock.advance(2.0);
        QVERIFY(!line.port->portOpen());

        // A new far side under the same name: the port comes back by itself, at the speed the
        // last Send chose, and takes the next command.
        TestPty again;
        QVERIFY(again.linkAs(line.dir.path()));
        line.clock.advance(0.5);
        QVERIFY(line.port->portOpen());
        QVERIFY(line.window->CmdSend->isVisibleTo(line.window.get()));
        QCOMPARE(again.speed(), 19200);
        line.window->MenuInit->trigger();
        QCOMPARE(again.readAvailable(20), QByteArray("\x1b@"));
        QVERIFY(line.prompter.boxes.size() == 16);
    }

    // The real program on SIGTERM: with the window up it shuts down as Exit does (a farewell
    // only if its monitor has seen the display yet); with the port error box still open it ends
    // as the box's OK would.
    void programEndsOnSigterm_data()
    {
        QTest::addColumn<bool>("portOpens");
        QTest::newRow("window up") << true;
        QTest::newRow("port error box open") << false;
    }
    void programEndsOnSigterm()
    {
        QFETCH(bool, portOpens);
        QTemporaryDir dir;
        TestPty pty;
        QVERIFY(portOpens ? pty.linkAs(dir.path())
                          : QFile::link(dir.filePath("unplugged"), dir.filePath("COM1")));
        QProcess program; // inherits the offscreen platform of this test
        program.setWorkingDirectory(dir.path());
        program.start(QStringLiteral(POLESET_EXECUTABLE), {});
        QVERIFY(program.waitForStarted());
        const QString proc = QStringLiteral("/proc/%1/").arg(program.processId());
        // Ready once it catches SIGTERM and, with a port, holds the slave.
        const auto ready = [&] {
            QFile status(proc + "status");
            if (!status.open(QIODevice::ReadOnly))
                return false;
            const QByteArray text = status.readAll();
            const qsizetype at = text.indexOf("SigCgt:");
            const quint64 caught = at < 0 ? 0
                                          : text.mid(at + 7, text.indexOf('\n', at) - at - 7)
                                                .trimmed()
                                                .toULongLong(nullptr, 16);
            const bool catches = (caught >> (SIGTERM - 1)) & 1;
            return catches && (!portOpens ||
                               std::ranges::any_of(QDir(proc + "fd").entryInfoList(QDir::System),
                                                   [&](const QFileInfo &fd) {
                                                       return fd.symLinkTarget() == pty.slavePath();
                                                   }));
        };
        QTRY_VERIFY_WITH_TIMEOUT(ready(), 20000);
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), portOpens ? 0 : 1);
        if (portOpens) {
            const QByteArray got = pty.readAvailable();
            QVERIFY(got.isEmpty() ||
                    got == QByteArray::fromHex("0C02051B40") + "End of Set!!" + '\x03');
        }
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("PoleSet.ini"))));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
