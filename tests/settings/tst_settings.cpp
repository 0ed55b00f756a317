#include "Ansi.h"
#include "NumberOfText.h"
#include "SettingsFile.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <limits>

#include <sys/resource.h>

Q_DECLARE_METATYPE(Define)

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

// Every field away from its default, so a reader that forgets to reset one is caught. Positional
// initialisers here and below follow Define's field order.
const Define Dirty{4, 300, 2, 7, 9, 5, 1, 5, 5, "old upper", "old lower", "keep/this", 2, true};

// All fields in one string, so a mismatch shows the whole state at once.
QString dump(const Define &d)
{
    QStringList fields;
    for (int v :
         {d.ComPort, d.ComBaud, d.ComParity, d.ComBitLen, d.DspINChar, d.DspCodePage,
          d.DspEmulation, d.DspCommunication, d.DspBaud, d.ArrowIndex, int(d.IFSetCancelled)})
        fields << QString::number(v);
    return fields.join(u' ') + " [" + d.DspUpperLine + "] [" + d.DspLowerLine + "] " + d.AppDir;
}

// A header line and `body` lines, each ended by CR LF.
QByteArray ini(const QList<QByteArray> &body)
{
    return "PoleSet   01-02-2026  10:00:00\r\n" + body.join("\r\n") + "\r\n";
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Peak resident memory of this process in kB.
long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
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
        QTest::newRow("minus") << QByteArray("-5") << -5.0 << -1;
        QTest::newRow("blanks and tabs inside") << QByteArray("1 2\t3") << 123.0 << 123;
        QTest::newRow("blank after sign") << QByteArray("- 0.4") << -0.4 << 0;
        QTest::newRow("exponent") << QByteArray("1.5E2") << 150.0 << 150;
        QTest::newRow("D exponent with blanks") << QByteArray("25 d - 1") << 2.5 << 2;
        QTest::newRow("exponent without digits") << QByteArray("7E+x") << 7.0 << 7;
        QTest::newRow("hex") << QByteArray("&hFf") << 255.0 << 255;
        QTest::newRow("octal stops at 8") << QByteArray("&O178") << 15.0 << 15;
        QTest::newRow("sign before hex") << QByteArray("-&H10") << 0.0 << 0;
        QTest::newRow("trailing junk") << QByteArray("3.5abc") << 3.5 << 4;
        QTest::newRow("no number") << QByteArray("x12") << 0.0 << 0;
        QTest::newRow("255.5 out") << QByteArray("255.5") << 255.5 << -1;
        QTest::newRow("-0.5 to even 0") << QByteArray("-.5") << -0.5 << 0;
        QTest::newRow("huge exponent") << QByteArray("1E99999999999999999999") << Inf << -1;
        QTest::newRow("million nines") << QByteArray(1'000'000, '9') << Inf << -1;
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
        const QString text = fromAnsi(all);
        QCOMPARE(toAnsi(text), all);
        // A surrogate pair is one character, so one '?'.
        QCOMPARE(toAnsi(QString::fromUtf16(u"\u0416\U0001F600\u0080")), QByteArray("???"));
        QStringDecoder reference("windows-1252");
        if (!reference.isValid())
            QSKIP("no Windows-1252 decoder on this host to compare with");
        QCOMPARE(text, reference.decode(all));
    }

    void readSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Define>("expected");
        QTest::newRow("empty file") << QByteArray() << Define{};
        QTest::newRow("only NULs") << QByteArray(1 << 20, '\0') << Define{};
        QTest::newRow("header any case")
            << QByteArray("pOLESET\r\nPort= 3") << Define{.ComPort = 3};
        QTest::newRow("header short") << QByteArray("POLESE\r\nPort= 3") << Define{};
        QTest::newRow("header with leading blank") << QByteArray(" PoleSet\r\nPort= 3") << Define{};
        QTest::newRow("port 0") << ini({"Port= 3", "Port= 0"}) << Define{};
        QTest::newRow("port 5") << ini({"Port= 3", "Port= 5"}) << Define{};
        // Out-of-range numbers read as the key's invalid value; the lines after them still count.
        QTest::newRow("negative values")
            << ini({"Port= 2", "INChar= 3", "Parity=E", "Port= -1", "INChar= -1", "BitLen= 7"})
            << Define{.ComParity = 1, .ComBitLen = 7, .DspCommunication = 3};
        QTest::newRow("values too large")
            << ini({"Port= 2", "Baud= 4800", "BitLen= 7", "CodePage= 3", "Port= 300",
                    "Baud= 4294967596", "BitLen= 1E400", "CodePage= 256", "Parity=O"})
            << Define{.ComParity = 2, .DspCommunication = 4};
        QTest::newRow("baud 38400")
            << ini({"Baud= 38400"}) << Define{.ComBaud = 38400, .DspBaud = 6};
        QTest::newRow("baud 110") << ini({"Baud= 4800", "Baud= 110"}) << Define{};
        QTest::newRow("parity e") << ini({"Parity= e "})
                                  << Define{.ComParity = 1, .DspCommunication = 2};
        QTest::newRow("parity Even") << ini({"Parity=O", "Parity=Even"}) << Define{};
        QTest::newRow("bitlen 9") << ini({"BitLen= 7", "BitLen= 9"}) << Define{};
        QTest::newRow("inchar 15, codepage 9")
            << ini({"INChar= 15", "CodePage= 9"}) << Define{.DspINChar = 15, .DspCodePage = 9};
        QTest::newRow("inchar 16, codepage 10")
            << ini({"INChar= 3", "CodePage= 3", "INChar= 16", "CodePage= 10"}) << Define{};
        QTest::newRow("emulation") << ini({"Emulation= ESC/POS "}) << Define{.DspEmulation = 1};
        QTest::newRow("emulation lower case")
            << ini({"Emulation=ESC/POS", "Emulation=esc/pos"}) << Define{};
        QTest::newRow("messages kept exactly")
            << ini({"Upper=  a = b  ", "Lower==x="})
            << Define{.DspUpperLine = "  a = b  ", .DspLowerLine = "=x="};
        QTest::newRow("keys not recognised")
            << ini({"Port =3", "=Port= 3", "Port 3", " Port=3"}) << Define{};
        QTest::newRow("key any case, last wins")
            << ini({"PORT= 2", "pOrT= 3"}) << Define{.ComPort = 3};
        const Define port3a{.ComPort = 3, .DspUpperLine = "a"};
        QTest::newRow("CR only endings") << QByteArray("PoleSet\rPort= 3\rUpper=a\r") << port3a;
        QTest::newRow("LF only endings") << QByteArray("PoleSet\nPort= 3\nUpper=a\n") << port3a;
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

    void encodeSettings()
    {
        QCOMPARE(::encodeSettings(Define{}, QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4))),
                 "PoleSet   03-07-2026  09:05:04\r\nPort= 1\r\nBaud= 9600\r\nParity=N\r\n"
                 "BitLen= 8\r\nINChar= 0\r\nCodePage= 0\r\nEmulation=T3150LC\r\n");
        // The display's baud and format are never written, and a line break in a message must
        // not start a line of its own.
        const QString upper = QString::fromUtf16(u"  Hi=there \u20AC\r\nPort= 3");
        const Define d{
            3, 19200, 2, 7, 15, 9, 1, 4, 2, upper, QString::fromUtf16(u"caf\u00E9\u0416")};
        QCOMPARE(::encodeSettings(d, QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58))),
                 "PoleSet   12-31-2025  23:59:58\r\nPort= 3\r\nBaud= 19200\r\nParity=O\r\n"
                 "BitLen= 7\r\nINChar= 15\r\nCodePage= 9\r\nEmulation=ESC/POS\r\n"
                 "Upper=  Hi=there \x80??Port= 3\r\nLower=caf\xE9?\r\n");
    }

    void saveReadBackAndMissingFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("PoleSet.ini"));
        const QString euro = QString::fromUtf16(u"\u20AC 1,99");
        const Define d{4, 38400, 1, 7, 15, 9, 1, 1, 3, " Welcome = ", euro, dir.path(), 1, true};
        // A longer old file must leave no tail behind.
        QVERIFY(writeFile(path, "PoleSet\r\nLower=left over\r\n" + QByteArray(10'000, 'x')));
        const QDateTime stamp(QDate(2026, 2, 3), QTime(4, 5, 6));
        QVERIFY(SaveSettings(d, stamp));
        QCOMPARE(fileBytes(path), ::encodeSettings(d, stamp));

        Define back = Dirty;
        back.AppDir = dir.path();
        ReadSettings(back);
        // The display's baud and format follow the PC side again; the working values are reset.
        QCOMPARE(dump(back),
                 dump(Define{4, 38400, 1, 7, 15, 9, 1, 3, 6, " Welcome = ", euro, dir.path()}));

        QVERIFY(QFile::remove(path));
        ReadSettings(back);
        QCOMPARE(dump(back), dump(Define{.AppDir = dir.path()}));
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("target is a directory") << false; // fails as the new file is put in place
        QTest::newRow("disk full while flushing") << true;
    }
    void failedSaveKeepsOldFile()
    {
        QFETCH(bool, diskFull);
        QTemporaryDir dir;
        const Define d{.DspUpperLine = QString(200, u'u'), .AppDir = dir.path()};
        if (!diskFull)
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("PoleSet.ini")));
        const QString old = dir.filePath(diskFull ? "PoleSet.ini" : "PoleSet.ini/inside");
        QVERIFY(writeFile(old, "PoleSet\r\nPort= 2\r\n"));

        // A file size limit makes the write stop partway, as a full disk would.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limited{diskFull ? 64 : saved.rlim_cur, saved.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool ok = SaveSettings(d);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!ok);
        QCOMPARE(fileBytes(old), QByteArray("PoleSet\r\nPort= 2\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("PoleSet.ini")});
    }

    void hugeFile()
    {
        QTemporaryDir dir;
        Define d = Dirty;
        d.AppDir = dir.path();
        // 50 MB of random bytes, then a single 50 MB line of NULs.
        QFile f(settingsFilePath(d));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("PoleSet\r\n") == 9);
        QByteArray noise(1 << 20, Qt::Uninitialized);
        QRandomGenerator(20260101).fillRange(reinterpret_cast<quint32 *>(noise.data()),
                                             noise.size() / 4);
        const QByteArray nul(1 << 20, '\0');
        for (int i = 0; i < 100; ++i)
            QVERIFY(f.write(i < 50 ? noise : nul) == 1 << 20);
        QVERIFY(f.write("\r\nBitLen= 7\r\nPort= 3") > 0);
        f.close();

        const long peakBefore = peakMemoryKb();
        QElapsedTimer timer;
        timer.start();
        ReadSettings(d);
        QVERIFY2(timer.elapsed() < 20'000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(dump(d),
                 dump(Define{
                     .ComPort = 3, .ComBitLen = 7, .DspCommunication = 1, .AppDir = dir.path()}));
        QVERIFY2(peakMemoryKb() - peakBefore < 16 * 1024, "reading must not hold the file");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
