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
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("foreign") << QByteArray("[PoleSet]\r\nBaud=7\r\n") << false;
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
        QVERIFY(text.isNull() || (file.open(QIODevice::WriteOnly) && file.write(text)));
        file.close();
        DisplayEeprom read;
        QString why;
        QCOMPARE(loadEeprom(file.fileName(), &read, &why), ok);
        QCOMPARE(read, ok ? Sample : DisplayEeprom{});
        QCOMPARE(why.isEmpty(), ok);
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
        w->show();
        const auto labels = w->findChildren<QLabel *>();
        QLabel *upper = *std::ranges::find_if(
            labels, [&](QLabel *label) { return label->toolTip() == '"' + longest + '"'; });
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
        port.close();
        QVERIFY(said(link + ": PoleSet's port is closed"));

        const QList<std::pair<QWidget *, QString>> named = {
            {w->findChild<VfdPanel *>(), "Display glass"},
            {w->findChildren<QGroupBox *>().value(0), "Stored in the display's EEPROM"},
            {w->findChildren<QGroupBox *>().value(1), "Line and traffic"},
            {w->findChild<QPlainTextEdit *>(), "Traffic log"},
            {w->findChildren<QPushButton *>().value(1), "Factory settings"},
            {upper, "Upper line: \"" + longest + '"'}};
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
