#include "DisplayScripts.h"
#include "Line.h"

#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <csignal>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void testPrintScreens()
    {
        Line line;
        QVERIFY(line.start());
        // Each text in turn, as the display would show it after the text.
        QStringList screens;
        std::function<void()> look = [&] {
            line.pump();
            screens << line.display.lineText(0) + QLatin1Char('|') + line.display.lineText(1);
            if (screens.size() < testPrintScript().texts.size())
                line.clock.scheduleIn(2.0, look);
        };
        line.clock.scheduleIn(1.0, look); // in the settle wait of the first text
        line.window->MenuTest->trigger();
        // CAN clears the line LF brought the cursor back to; the address is longer than a line
        // and wraps over the start of "e-mail:".
        QCOMPARE(screens.mid(0, 5) << screens.value(18),
                 (QStringList{"TEST Print!|", "TEST Print!|Vantor QS Corp.",
                              "TEL 12-3-4567-8901|Vantor QS Corp.", "amplel:|support@vantor-qs.ex",
                              " !\"#$%&'()*+,-./|", "Vantor QS Corp.|  Tech.Ops Div."}));
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
