// Faults on a real line: the far side going away, the device vanishing, a settings file that
// cannot be saved.
#include "DisplayScripts.h"
#include "Line.h"
#include "Widgets.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void farSideClosesDuringTheTestPrint()
    {
        Line line;
        QVERIFY(line.start());
        line.window->CboBaud->setCurrentIndex(7); // 19,200bps, the PC port following
        line.send();
        QCOMPARE(line.pty.speed(), 19200);
        // Hang the line up in the settle wait of the third text.
        line.clock.scheduleIn(2 * 2.0 + 1.0, [&] {
            line.pump();
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
        QVERIFY(line.window->LineX1->isVisibleTo(line.window.get()));

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

    void settingsFileThatCannotBeSaved()
    {
        Line line;
        const QString ini = line.dir.filePath(QStringLiteral("PoleSet.ini"));
        QVERIFY(QDir().mkdir(ini)); // a directory where the file should be
        QVERIFY(line.start());
        // The Send completes; one box afterwards says the settings were not saved, and why.
        line.send();
        QVERIFY(line.log.contains(QStringLiteral("set-up closed: Ready!")));
        QVERIFY(line.window->OptSet[1]->isEnabled());
        QCOMPARE(line.prompter.titles(), QStringList{"Settings Not Saved"});
        QVERIFY(line.prompter.boxes.front().warning);
        QVERIFY(line.prompter.boxes.front().informative.startsWith(
            ini + ": it is not a regular file, so it is left alone.\n\n"));
        QVERIFY(QFileInfo(ini).isDir());
        line.send(); // said once, not after every Send
        QCOMPARE(line.prompter.boxes.size(), size_t(1));
        // A save that works in between: the next failure is said again.
        QVERIFY(QDir().rmdir(ini));
        line.send();
        QVERIFY(QFileInfo(ini).isFile());
        QVERIFY(QFile::remove(ini) && QDir().mkdir(ini));
        line.send();
        QCOMPARE(line.prompter.boxes.size(), size_t(2));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
