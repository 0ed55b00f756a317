#include "DisplayScripts.h"
#include "Line.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QtTest>

#include <csignal>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestPty probe;
        if (!probe.isValid())
            QSKIP("no pseudo-terminals on this machine");
    }

    void setupItemsReachTheDisplay()
    {
        Line line("PoleSet\r\nINChar= 2\r\nCodePage= 9\r\n");
        QVERIFY(line.start());
        FrmMain &w = *line.window;
        w.CboEmulation->setCurrentIndex(1);
        line.send();
        QCOMPARE(line.display.eeprom().emulation, 1);
        QVERIFY(line.log.contains(QStringLiteral("set-up closed: Ready!")));

        w.CboINChr->setCurrentIndex(10);
        line.send();
        w.CboCodePage->setCurrentIndex(8);
        line.send();
        w.TxtUpperLine->setText(QStringLiteral("Welcome"));
        line.send();
        w.TxtLowerLine->setText(QStringLiteral("Caf\u00e9 \u20ac 2"));
        line.send();
        w.ChkSetTerm->setChecked(false);
        w.CboCommunication->setCurrentIndex(3);
        w.ChkSetTerm->setChecked(false);
        line.send();
        const DisplayEeprom &e = line.display.eeprom();
        QCOMPARE(e.inChar, 10);
        QCOMPARE(e.codePage, 8);
        QCOMPARE(e.upperLine, QByteArray("Welcome"));
        QCOMPARE(e.lowerLine, QByteArray("Caf\xe9 \x80 2"));
        QCOMPARE(e.communication, 3);
        QVERIFY(line.prompter.boxes.empty());

        w.OptSet[1]->click();
        w.OptReset[1]->click();
        line.send();
        QVERIFY(line.display.eeprom().upperLine.isEmpty());
        QCOMPARE(line.display.eeprom().lowerLine, QByteArray("Caf\xe9 \x80 2"));
        w.OptReset[0]->click();
        line.send();
        QVERIFY(line.display.eeprom().lowerLine.isEmpty());
    }

    void baudChangeFollowsOnThePort()
    {
        Line line;
        QVERIFY(line.start());
        QCOMPARE(line.pty.speed(), 9600);
        line.send(); // unlocks the panel
        line.window->CboBaud->setCurrentIndex(7);
        QVERIFY(line.window->ChkSetTerm->isChecked());
        line.send();
        QCOMPARE(line.display.eeprom().baud, 7);
        QCOMPARE(line.pty.speed(), 19200);
        QVERIFY(line.log.contains(QStringLiteral("set-up closed: Ready!")));
        QVERIFY(QFile(QStringLiteral("PoleSet.ini")).open(QIODevice::ReadOnly));
    }

    void testPrintScreens()
    {
        Line line;
        QVERIFY(line.start());
        // Each text in turn, as the display would show it after the text.
        QStringList firstLines;
        int texts = 0;
        const QStringList script = testPrintScript().texts;
        std::function<void()> look = [&] {
            line.pump();
            firstLines << line.display.lineText(0) + QLatin1Char('|') + line.display.lineText(1);
            if (++texts < script.size())
                line.clock.scheduleIn(2.0, look);
        };
        line.clock.scheduleIn(1.0, look); // in the settle wait of the first text
        line.window->MenuTest->trigger();
        QCOMPARE(firstLines.size(), 19);
        QCOMPARE(firstLines[0], QStringLiteral("TEST Print!|"));
        QCOMPARE(firstLines[1], QStringLiteral("TEST Print!|Vantor QS Corp."));
        // The address is longer than a line: its end wraps over the start of "e-mail:".
        QVERIFY(firstLines[3].endsWith(QStringLiteral("|support@vantor-qs.ex")));
        QCOMPARE(firstLines[4], QStringLiteral(" !\"#$%&'()*+,-./|"));
        QCOMPARE(firstLines[18], QStringLiteral("Vantor QS Corp.|  Tech.Ops Div."));
        QVERIFY(line.prompter.boxes.empty());
    }

    void demoAndDisplayModes()
    {
        Line line("PoleSet\r\nEmulation=ESC/POS\r\nUpper=Hello\r\n");
        QVERIFY(line.start());
        line.window->MenuDemo->trigger();
        line.pump();
        QVERIFY(line.display.eeprom().demoMode);
        line.clock.advance(0.5);
        line.window->MenuStopDemo->trigger();
        line.pump();
        QVERIFY(!line.display.eeprom().demoMode);
        QCOMPARE(line.display.lineText(0), QStringLiteral("Stop DEMO!"));

        line.send(); // the first Send shows the scroll and overwrite items
        line.window->MenuScroll->trigger();
        line.pump();
        QCOMPARE(line.display.mode(), DisplayDecoder::Mode::Scroll);
        line.clock.advance(0.5);
        line.window->MenuOverWrite->trigger();
        line.pump();
        QCOMPARE(line.display.mode(), DisplayDecoder::Mode::Overwrite);
        QCOMPARE(line.display.lineText(0), QStringLiteral("Overwrite Display."));
    }

    void exitSendsTheFarewell()
    {
        Line line;
        QVERIFY(line.start());
        // Read during the farewell's settle wait: closing the port empties what is left.
        line.clock.scheduleIn(1.0, [&] { line.pump(); });
        line.window->close();
        QVERIFY(line.window->unloaded());
        QVERIFY(!line.port->portOpen());
        QCOMPARE(line.log.filter(QStringLiteral("End of Set!!")).size(), 1);
    }

    void programEndsCleanlyOnSigterm()
    {
        QTemporaryDir dir;
        TestPty pty;
        QVERIFY(pty.linkAs(dir.path()));
        QProcess program;
        program.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(POLESET_EXECUTABLE), {});
        QVERIFY(program.waitForStarted());
        // The port is open once the program holds a descriptor of the slave.
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(program.processId());
        auto holdsPort = [&] {
            for (const QFileInfo &fd :
                 QDir(fdDir).entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
                if (fd.symLinkTarget() == pty.slavePath())
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(holdsPort(), 20000);
        // The program's own link monitor, on its real clock, needs its first tick (500 ms after
        // the port opened) to see the display before the farewell goes out; nothing outside the
        // process shows that tick, so allow it ample time on a loaded machine.
        QTest::qWait(2000);
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(pty.readAvailable(), QByteArray::fromHex("0C02051B40") + "End of Set!!" + '\x03');
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("PoleSet.ini"))));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
