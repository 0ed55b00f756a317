#include "Ansi.h"
#include "NumberOfText.h"
#include "SettingsFile.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

Q_DECLARE_METATYPE(Define)

namespace {

// Every field away from its default, so a reader that forgets to reset one is caught. Positional
// initialisers follow Define's field order.
const Define Dirty{4, 300, 2, 7, 9, 5, 1, 5, 5, "old upper", "old lower", "keep/this", 2, true};

// All fields in one string, so a mismatch shows the whole state at once.
QString dump(const Define &d)
{
    return QString::asprintf("%d %d %d %d %d %d %d %d %d %d %d", d.ComPort, d.ComBaud, d.ComParity,
                             d.ComBitLen, d.DspINChar, d.DspCodePage, d.DspEmulation,
                             d.DspCommunication, d.DspBaud, d.ArrowIndex, int(d.IFSetCancelled)) +
           " [" + d.DspUpperLine + "] [" + d.DspLowerLine + "] " + d.AppDir;
}

// A header line, then the '|'-separated lines of `body`, each ended by CR LF.
QByteArray ini(QByteArray body)
{
    return "PoleSet   01-02-2026  10:00:00\r\n" + body.replace('|', "\r\n") + "\r\n";
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void numberRule_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("byte"); // -1: out of range for a byte setting
        QTest::newRow("blanks and tabs inside") << QByteArray("1 2\t3") << 123.0 << 123;
        QTest::newRow("D exponent, 2.5 to even") << QByteArray("25 d - 1") << 2.5 << 2;
        QTest::newRow("exponent without digits") << QByteArray("7E+x") << 7.0 << 7;
        QTest::newRow("hex") << QByteArray("&hFf") << 255.0 << 255;
        QTest::newRow("octal stops at 8") << QByteArray("&O178") << 15.0 << 15;
        QTest::newRow("sign before hex") << QByteArray("-&H10") << 0.0 << 0;
        QTest::newRow("3.5 to even, junk") << QByteArray("3.5abc") << 3.5 << 4;
        QTest::newRow("255.5 out") << QByteArray("255.5") << 255.5 << -1;
        QTest::newRow("huge exponent") << QByteArray("1E99999999999999999999") << qInf() << -1;
        QTest::newRow("million nines") << QByteArray(1'000'000, '9') << qInf() << -1;
    }
    void numberRule()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QFETCH(int, byte);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(numberOfText(QByteArrayView(text)), value);
        // Linear work on a million characters is milliseconds; quadratic would be hours.
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(numberOfText(QString::fromLatin1(text)), value);
        QCOMPARE(roundToByte(value).value_or(-1), byte);
    }

    void windows1252RoundTrip()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QCOMPARE(toAnsi(fromAnsi(all)), all);
        QStringDecoder reference("windows-1252");
        if (!reference.isValid())
            QSKIP("no Windows-1252 decoder on this host to compare with");
        QCOMPARE(fromAnsi(all), reference.decode(all));
    }

    void readSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Define>("expected");
        QTest::newRow("empty file") << QByteArray() << Define{};
        QTest::newRow("header short") << QByteArray("POLESE\r\nPort= 3") << Define{};
        QTest::newRow("highest valid values")
            << ini("Port= 4|INChar= 15|CodePage= 9|Emulation= ESC/POS ")
            << Define{.ComPort = 4, .DspINChar = 15, .DspCodePage = 9, .DspEmulation = 1};
        // Out-of-range values read as the key's invalid value; the lines after them still count.
        QTest::newRow("too large")
            << ini("Port= 2|Baud= 4800|BitLen= 7|INChar= 3|CodePage= 3|Parity=O|Emulation=ESC/POS|"
                   "Port= 258|Baud= 4294967596|BitLen= 1E400|INChar= 16|CodePage= 265|"
                   "Parity=Even|Emulation=esc/pos|Upper=  a = b  ")
            << Define{.DspUpperLine = "  a = b  "};
        QTest::newRow("too small")
            << ini("Port= 3|Baud= 4800|BitLen= 7|INChar= 3|Port= 0|Baud= 110|BitLen= -1|"
                   "INChar= -1|Parity= e |Lower==x=")
            << Define{.ComParity = 1, .DspCommunication = 2, .DspLowerLine = "=x="};
        QTest::newRow("keys: any case, last wins, others ignored")
            << ini("PORT= 4|pOrT= 2|Port =3|=Port= 3|Port 3| Port=3") << Define{.ComPort = 2};
        QTest::newRow("lone CR and LF endings")
            << QByteArray("PoleSet\nPort= 3\rUpper=a\nLower=b")
            << Define{.ComPort = 3, .DspUpperLine = "a", .DspLowerLine = "b"};
        QTest::newRow("NUL inside line") << QByteArray("PoleSet\r\nUpper=a\0b\r\nPort\0= 3\r\n", 31)
                                         << Define{.DspUpperLine = QString::fromUtf16(u"a\0b", 3)};
        QTest::newRow("line across read chunks")
            << "PoleSet" + QByteArray(65523, 'p') + "\r\nPort= 3" << Define{.ComPort = 3};
    }
    void readSettings()
    {
        QFETCH(QByteArray, file);
        QFETCH(Define, expected);
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        Define d = Dirty;
        ::readSettings(buffer, d);
        expected.AppDir = Dirty.AppDir;
        QCOMPARE(dump(d), dump(expected));
    }

    void save()
    {
        QTemporaryDir dir;
        // A longer old file must leave no tail behind.
        QVERIFY(SaveSettings(Define{.DspLowerLine = QString(10'000, u'x'), .AppDir = dir.path()}));
        // A line break in a message must not start a line of its own.
        const QString upper = QString::fromUtf16(u" Hi=there\r\nPort= 3 caf\u00E9\U0001F600\u0416");
        const QString lower = QString::fromUtf16(u"\u20AC 1,99");
        const Define d{4, 38400, 1, 7, 15, 9, 1, 1, 3, upper, lower, dir.path(), 1, true};
        QVERIFY(SaveSettings(d, QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4))));
        // The display's baud and format are never written.
        QCOMPARE(fileBytes(settingsFilePath(d)),
                 "PoleSet   03-07-2026  09:05:04\r\nPort= 4\r\nBaud= 38400\r\nParity=E\r\n"
                 "BitLen= 7\r\nINChar= 15\r\nCodePage= 9\r\nEmulation=ESC/POS\r\n"
                 "Upper= Hi=there??Port= 3 caf\xE9??\r\nLower=\x80 1,99\r\n");
    }

    void failedSaveKeepsOldFile()
    {
        QTemporaryDir dir;
        const Define old{.ComPort = 2, .AppDir = dir.path()};
        QVERIFY(SaveSettings(old));
        const QByteArray before = fileBytes(settingsFilePath(old));
        // A file size limit makes the flush fail partway, as a full disk would.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limited{64, saved.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool ok = SaveSettings(Define{.AppDir = dir.path()});
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!ok);
        QCOMPARE(fileBytes(settingsFilePath(old)), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("PoleSet.ini")});
    }

    void hugeFile()
    {
        QTemporaryDir dir;
        Define d{.AppDir = dir.path()};
        // A single 100 MB line of NULs, written in pieces so that only the reader can raise the
        // peak.
        QFile f(settingsFilePath(d));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("PoleSet\r\n") == 9);
        for (int i = 0; i < 100; ++i)
            QVERIFY(f.write(QByteArray(1 << 20, '\0')) == 1 << 20);
        QVERIFY(f.write("\r\nBitLen= 7\r\nPort= 3") > 0);
        f.close();
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        ReadSettings(d);
        getrusage(RUSAGE_SELF, &after);
        QVERIFY2(after.ru_maxrss - before.ru_maxrss < 16 * 1024, "reading must not hold the file");
        const Define expected{
            .ComPort = 3, .ComBitLen = 7, .DspCommunication = 1, .AppDir = dir.path()};
        QCOMPARE(dump(d), dump(expected));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
