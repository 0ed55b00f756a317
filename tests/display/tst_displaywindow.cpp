// The simulator's window over a pseudo-terminal, and the file that keeps its EEPROM.
#include "DisplayEepromFile.h"
#include "DisplayWindow.h"
#include "SerialLink.h"
#include "SetupCommands.h"
#include "TestPty.h"
#include "VfdPanel.h"

#include <QSerialPort>
#include <QtTest>
#include <QtWidgets>

namespace {

QByteArray setupBytes(int item, int index, const QString &text = {})
{
    return hexTextToBytes(SetupFrame(setupItemPayload(item, index, text)));
}

DisplayEeprom sample()
{
    return {1, 9, 15, 2, 7, " 100% = \x80\r", "", false};
}

} // namespace

class TestDisplayWindow : public QObject
{
    Q_OBJECT

private slots:
    // What a file holds: the EEPROM when it is a whole file of ours, factory settings otherwise.
    void eepromFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        const QByteArray ours = encodeEeprom(sample());
        QTest::newRow("as written") << ours << true;
        QTest::newRow("CR LF") << QByteArray(ours).replace("\n", "\r\n") << true;
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("foreign") << QByteArray("[PoleSet]\r\nBaud=7\r\n") << false;
        QTest::newRow("out of range") << QByteArray(ours).replace("Baud=7", "Baud=8") << false;
        QTest::newRow("key twice") << ours + "Baud=1\n" << false;
        QTest::newRow("key missing") << QByteArray(ours).replace("Lower=\n", "") << false;
        QTest::newRow("unknown key") << ours + "Colour=1\n" << false;
    }
    void eepromFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QTemporaryDir dir;
        const QString path = dir.filePath("eeprom");
        QFile file(path);
        QVERIFY(text.isNull() || (file.open(QIODevice::WriteOnly) && file.write(text)));
        file.close();
        DisplayEeprom read;
        QString why;
        QCOMPARE(loadEeprom(path, &read, &why), ok);
        QCOMPARE(read, ok ? sample() : DisplayEeprom{});
        QCOMPARE(why.isEmpty(), ok);
    }

    // The EEPROM outlives the window; the factory settings are kept at once.
    void keepsEeprom()
    {
        QTemporaryDir dir;
        TestPty pty;
        QVERIFY(pty.valid);
        {
            DisplayWindow w(pty, dir.path(), 1);
            // PoleSet is taken to follow the new format.
            w.receive(setupBytes(SetupCommunication, 2));
            w.receive(setupBytes(SetupUpperLine, 0, "Hi"));
        }
        DisplayWindow again(pty, dir.path(), 1);
        QCOMPARE(again.decoder().eeprom().communication, 2);
        QCOMPARE(again.decoder().eeprom().upperLine, "Hi");
        again.restoreFactorySettings();
        DisplayEeprom read = sample();
        QString why;
        QVERIFY(loadEeprom(again.eepromPath(), &read, &why));
        QCOMPARE(read, DisplayEeprom{});
    }

    // The window stays within the screen with the longest message, tells a closed port from a
    // mismatch, and names its parts for a screen reader.
    void window()
    {
        QTemporaryDir dir;
        TestPty pty;
        QVERIFY(pty.valid);
        // PoleSet's parity from its file, whose speed is the line's.
        QFile ini(dir.filePath("PoleSet.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly) &&
                ini.write("PoleSet   01-01-2024  00:00:00\r\nBaud=19200\r\nParity=E\r\n"));
        ini.close();
        DisplayWindow w(pty, dir.path(), 1);
        const QString longest(198, 'M');
        w.receive(setupBytes(SetupUpperLine, 0, longest));
        w.show();
        const auto labels = w.findChildren<QLabel *>();
        const auto upper = std::find_if(labels.begin(), labels.end(), [&](QLabel *label) {
            return label->toolTip() == '"' + longest + '"';
        });
        QVERIFY(upper != labels.end() && (*upper)->text().endsWith(QChar(0x2026)));
        QVERIFY(w.frameGeometry().width() <= w.screen()->availableGeometry().width());

        const auto said = [&] {
            QStringList texts;
            for (QLabel *label : w.findChildren<QLabel *>())
                texts << label->accessibleName();
            return texts.join('\n');
        };
        w.pollLine();
        QVERIFY(said().contains("PoleSet's port is closed"));
        QSerialPort port(pty.slavePath());
        port.setBaudRate(19200);
        QVERIFY(port.open(QIODevice::WriteOnly));
        w.pollLine();
        QVERIFY(said().contains("PoleSet at 19,200bps E-8-1: \u2716 the display listens at "
                                "9,600bps N-8-1"));
        port.close();
        w.pollLine();
        QVERIFY(said().contains("PoleSet's port is closed"));

        const QList<std::pair<QWidget *, QString>> named = {
            {w.findChild<VfdPanel *>(), "Display glass"},
            {w.findChildren<QGroupBox *>().value(0), "Stored in the display's EEPROM"},
            {w.findChildren<QGroupBox *>().value(1), "Line and traffic"},
            {w.findChild<QPlainTextEdit *>(), "Traffic log"},
            {w.findChild<QPushButton *>(), "Factory settings"},
            {*upper, "Upper line: \"" + longest + '"'}};
        for (const auto &[widget, name] : named) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(a);
            QCOMPARE(a->text(QAccessible::Name), name);
        }
    }
};

QTEST_MAIN(TestDisplayWindow)
#include "tst_displaywindow.moc"
