// The simulator's window over a pseudo-terminal, and the file that keeps its EEPROM.
#include "DisplayEepromFile.h"
#include "DisplayWindow.h"
#include "SerialLink.h"
#include "SetupCommands.h"
#include "TestPty.h"
#include "VfdPanel.h"
#include "WindowPlacement.h"

#include <QSerialPort>
#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>

const DisplayEeprom Sample = {1, 9, 15, 2, 7, " 100% = \x80\r", "", false};

class TestDisplayWindow : public QObject
{
    Q_OBJECT

private slots:
    // The free band beside PoleSet's window: the full layout where it fits, else the compact one,
    // else the foot of the screen.
    void placement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("placed");
        QTest::addColumn<bool>("compact");
        QTest::newRow("1280x1024: above")
            << QRect(0, 0, 1280, 1024) << QRect(0, 0, 1280, 292) << false;
        QTest::newRow("1024x768: above, compact")
            << QRect(0, 0, 1024, 768) << QRect(0, 0, 1024, 164) << true;
        QTest::newRow("1920x500: beside")
            << QRect(0, 0, 1920, 500) << QRect(0, 30, 640, 150) << true;
        QTest::newRow("800x600: nowhere")
            << QRect(0, 0, 800, 600) << QRect(0, 450, 800, 150) << true;
    }
    void placement()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, placed);
        QFETCH(bool, compact);
        const QRect poleSet = placedFrame(QRect(0, 0, 640, 440), screen, screen);
        const auto place = DisplayWindow::placeBeside(poleSet, screen, {700, 222}, {500, 150});
        QCOMPARE(place.frame, placed);
        QCOMPARE(place.compact, compact);
    }

    // What a file holds: the EEPROM when it is a whole file of ours, factory settings otherwise.
    void eepromFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        const QByteArray ours = encodeEeprom(Sample);
        QTest::newRow("as written, CR LF") << QByteArray(ours).replace("\n", "\r\n") << true;
        QTest::newRow("foreign header") << "[PoleSet]" + ours.mid(ours.indexOf('\n')) << false;
        QTest::newRow("out of range") << QByteArray(ours).replace("Baud=7", "Baud=8") << false;
        QTest::newRow("key twice") << ours + "Baud=1\n" << false;
        QTest::newRow("unknown key") << ours + "Colour=1\n" << false;
    }
    void eepromFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QTemporaryDir dir;
        QFile file(dir.filePath("eeprom"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        DisplayEeprom read;
        QString why;
        QCOMPARE(loadEeprom(file.fileName(), &read, &why), ok);
        QCOMPARE(read, ok ? Sample : DisplayEeprom{});
        QCOMPARE(why.isEmpty(), ok);
    }

    // Neither read nor written, and left as they are: a directory or a FIFO in the file's place,
    // or no folder for it.
    void eepromNoFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("dir"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        for (const char *name : {"dir", "fifo", "none/eeprom"}) {
            const QString path = dir.filePath(name);
            DisplayEeprom read;
            QString why;
            QCOMPARE(loadEeprom(path, &read, &why), false);
            QCOMPARE(saveEeprom(path, Sample, &why), false);
            QCOMPARE(QFileInfo(path).isFile(), false);
        }
    }

    // A symbolic link in the EEPROM's place is replaced by the file, never written through.
    void eepromLink()
    {
        QTemporaryDir dir, outside;
        QFile target(outside.filePath("target"));
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write("theirs") == 6);
        target.close();
        const QString path = dir.filePath("eeprom");
        QVERIFY(QFile::link(target.fileName(), path));
        QString why;
        QVERIFY(saveEeprom(path, Sample, &why));
        QVERIFY(!QFileInfo(path).isSymLink());
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), "theirs");
        DisplayEeprom read;
        QVERIFY(loadEeprom(path, &read, &why));
        QCOMPARE(read, Sample);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList("eeprom"));
    }

    // With "Set Communication after Sent data" unticked PoleSet stays at its format and saves
    // it after the closing frame: the closing frame, sent after the display switched, is heard
    // only when the file shows that PoleSet followed. A file for another port tells nothing.
    void followed_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("heard");
        QTest::newRow("ticked") << QByteArray("Port=1\r\nParity=E\r\n") << true;
        QTest::newRow("unticked") << QByteArray("Port=1\r\nParity=N\r\n") << false;
        QTest::newRow("another port") << QByteArray("Port=2\r\nParity=E\r\n") << false;
    }
    void followed()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, heard);
        QTemporaryDir dir;
        TestPty pty;
        QSerialPort port(pty.slavePath());
        QVERIFY(pty.valid && port.open(QIODevice::WriteOnly) && port.setBaudRate(9600));
        DisplayWindow w(pty, dir.path(), 1);
        w.receive(SetupFrame(setupItemPayload(SetupCommunication, 2, {})));
        w.receive(SetupFrame(ClosingFrame()));
        QFile file(dir.filePath("PoleSet.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write("PoleSet   01-01-2024  00:00:00\r\n" + ini));
        file.close();
        w.pollLine();
        const QString log = w.findChild<QPlainTextEdit *>()->toPlainText();
        QCOMPARE(log.contains("set-up closed: Ready!"), heard);
    }

    // The window stays within the screen with the longest message, tells a closed port from a
    // mismatch, names its parts for a screen reader, and its EEPROM outlives it.
    void window()
    {
        QTemporaryDir dir;
        TestPty pty;
        QFile ini(dir.filePath("PoleSet.ini")); // PoleSet's parity, at the line's speed
        QVERIFY(pty.valid && ini.open(QIODevice::WriteOnly) &&
                ini.write("PoleSet   01-01-2024  00:00:00\r\nBaud=19200\r\nParity=E\r\n"));
        ini.close();
        auto w = std::make_unique<DisplayWindow>(pty, dir.path(), 1);
        const QString longest(198, 'M');
        w->receive(SetupFrame(setupItemPayload(SetupUpperLine, 0, longest)));
        w->receive(SetupFrame(setupItemPayload(SetupINChar, 13, {})));
        w->show();
        const auto labels = w->findChildren<QLabel *>();
        const auto shown = [&labels](const QString &value) {
            return *std::ranges::find_if(labels, [&](QLabel *l) { return l->toolTip() == value; });
        };
        QLabel *upper = shown('"' + longest + '"');
        QVERIFY(upper->text().endsWith(QChar(0x2026)));
        QVERIFY(w->frameGeometry().width() <= w->screen()->availableGeometry().width());

        const auto said = [&](const QString &state) {
            w->pollLine();
            return std::ranges::any_of(labels,
                                       [&](QLabel *l) { return l->accessibleName() == state; });
        };
        const QString link = "COM1 \u2192 " + pty.slavePath();
        QVERIFY(said(link + ": PoleSet's port is closed"));
        QSerialPort port(pty.slavePath());
        QVERIFY(port.open(QIODevice::WriteOnly) && port.setBaudRate(19200));
        QVERIFY(said(link + ", PoleSet at 19,200bps E-8-1: \u2716 the display listens at "
                            "9,600bps N-8-1"));
        // Another port's file: only the speed is known.
        QVERIFY(ini.open(QIODevice::Append) && ini.write("Port=2\r\n"));
        ini.close();
        QVERIFY(
            said(link + ", PoleSet at 19,200bps: \u2716 the display listens at 9,600bps N-8-1"));
        port.close();
        QVERIFY(said(link + ": PoleSet's port is closed"));

        const QList<std::pair<QWidget *, QString>> named = {
            {w->findChild<VfdPanel *>(), "Display glass"},
            {w->findChildren<QGroupBox *>().value(0), "Stored in the display's EEPROM"},
            {w->findChildren<QGroupBox *>().value(1), "Line and traffic"},
            {w->findChild<QPlainTextEdit *>(), "Traffic log"},
            {w->findChildren<QPushButton *>().value(1), "Factory settings"},
            {upper, "Upper line: \"" + longest + '"'},
            {shown("Factory define I (drawn as U.S.A)"),
             "Characters: Factory define I (drawn as U.S.A)"}};
        for (const auto &[widget, name] : named)
            QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), name);
        // A frame, and the glass a read-only text of its two lines.
        QCOMPARE(QAccessible::queryAccessibleInterface(w.get())->role(), QAccessible::Window);
        QAccessibleInterface *glass = QAccessible::queryAccessibleInterface(named[0].first);
        QVERIFY(glass->state().readOnly);
        QCOMPARE(glass->textInterface()->text(0, 41),
                 w->decoder().lineText(0) + '\n' + w->decoder().lineText(1));

        w = std::make_unique<DisplayWindow>(pty, dir.path(), 1);
        QCOMPARE(w->decoder().eeprom().upperLine, longest.toLatin1());
        w->restoreFactorySettings();
        DisplayEeprom read = Sample;
        QString why;
        QVERIFY(loadEeprom(w->eepromPath(), &read, &why) && read == DisplayEeprom{});
    }
};

QTEST_MAIN(TestDisplayWindow)
#include "tst_displaywindow.moc"
