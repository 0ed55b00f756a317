#include "Ansi.h"
#include "Define.h"
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

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

Q_DECLARE_METATYPE(Define)

namespace {

const QString KeptAppDir = QStringLiteral("keep/this");
constexpr double Inf = std::numeric_limits<double>::infinity();

// Every field away from its default, so a reader that forgets to reset one is caught.
Define dirtyDefine()
{
    Define d;
    d.ComPort = 4;
    d.ComBaud = 300;
    d.ComParity = 2;
    d.ComBitLen = 7;
    d.DspINChar = 9;
    d.DspCodePage = 5;
    d.DspEmulation = 1;
    d.DspCommunication = 5;
    d.DspBaud = 5;
    d.DspUpperLine = QStringLiteral("old upper");
    d.DspLowerLine = QStringLiteral("old lower");
    d.AppDir = KeptAppDir;
    d.ArrowIndex = 2;
    d.IFSetCancelled = true;
    return d;
}

// The defaults with AppDir kept, changed by `change`.
Define with(const std::function<void(Define &)> &change = {})
{
    Define d;
    d.AppDir = KeptAppDir;
    if (change)
        change(d);
    return d;
}

// What reading back a written file gives: the display's baud and format follow the PC side.
Define derived(Define d)
{
    d.DspBaud = dspBaudIndexOf(d.ComBaud);
    d.DspCommunication = dspCommunicationOf(d.ComParity, d.ComBitLen);
    d.ArrowIndex = 0;
    d.IFSetCancelled = false;
    return d;
}

void compareDefines(const Define &actual, const Define &expected)
{
    QCOMPARE(actual.ComPort, expected.ComPort);
    QCOMPARE(actual.ComBaud, expected.ComBaud);
    QCOMPARE(actual.ComParity, expected.ComParity);
    QCOMPARE(actual.ComBitLen, expected.ComBitLen);
    QCOMPARE(actual.DspINChar, expected.DspINChar);
    QCOMPARE(actual.DspCodePage, expected.DspCodePage);
    QCOMPARE(actual.DspEmulation, expected.DspEmulation);
    QCOMPARE(actual.DspCommunication, expected.DspCommunication);
    QCOMPARE(actual.DspBaud, expected.DspBaud);
    QCOMPARE(actual.DspUpperLine, expected.DspUpperLine);
    QCOMPARE(actual.DspLowerLine, expected.DspLowerLine);
    QCOMPARE(actual.AppDir, expected.AppDir);
    QCOMPARE(actual.ArrowIndex, expected.ArrowIndex);
    QCOMPARE(actual.IFSetCancelled, expected.IFSetCancelled);
}

// A header line and `body` lines, each ended by CR LF.
QByteArray settingsFile(const QList<QByteArray> &body)
{
    QByteArray text = "PoleSet   01-02-2026  10:00:00\r\n";
    for (const QByteArray &line : body)
        text += line + "\r\n";
    return text;
}

Define readFrom(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Define d = dirtyDefine();
    readSettings(buffer, d);
    return d;
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

#ifdef Q_OS_LINUX
// Peak resident memory of this process in kB, or -1.
qint64 peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
#endif

// Hands out its data a byte at a time, and can fail after a given number of bytes.
class TrickleDevice : public QIODevice
{
public:
    explicit TrickleDevice(QByteArray data, qsizetype failAt = -1)
        : m_data(std::move(data))
        , m_failAt(failAt)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    int reads = 0;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        ++reads;
        if (m_pos == m_failAt)
            return -1;
        if (m_pos >= m_data.size() || maxSize <= 0)
            return 0;
        *data = m_data[m_pos++];
        return 1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
    qsizetype m_failAt;
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void numberOfText_data();
    void numberOfText();
    void numberOfTextAbsurd_data();
    void numberOfTextAbsurd();
    void roundToByte_data();
    void roundToByte();
    void roundToInt32_data();
    void roundToInt32();

    void ansiMatchesWindows1252();
    void toAnsi_data();
    void toAnsi();

    void readSettings_data();
    void readSettings();
    void readSettingsInPieces_data() { readSettings_data(); }
    void readSettingsInPieces();
    void readErrorKeepsWhatWasRead();
    void longLinesAreBounded();

    void encodeSettings_data();
    void encodeSettings();
    void roundTrip_data();
    void roundTrip();

    void settingsFilePathJoinsAppDir();
    void missingFileGivesDefaults();
    void saveReplacesWholeFile();
    void failedSaveKeepsTarget_data();
    void failedSaveKeepsTarget();
    void failedSaveInReadOnlyDirectoryKeepsOldFile();
    void failedWriteHalfwayKeepsOldFile();
    void hugeJunkFile();
    void nulAndUnendedFiles_data();
    void nulAndUnendedFiles();
};

void TestSettings::numberOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("integer") << "12" << 12.0;
    QTest::newRow("minus") << "-5" << -5.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("blanks inside digits") << "1 2 3" << 123.0;
    QTest::newRow("tab inside digits") << "1\t2" << 12.0;
    QTest::newRow("blank after sign") << "- 5" << -5.0;
    QTest::newRow("decimal point") << "3.25" << 3.25;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("exponent E") << "1.5E3" << 1500.0;
    QTest::newRow("exponent e negative") << "25e-1" << 2.5;
    QTest::newRow("exponent D") << "2D2" << 200.0;
    QTest::newRow("blanks inside exponent") << "1 E - 2" << 0.01;
    QTest::newRow("exponent without digits") << "7E" << 7.0;
    QTest::newRow("exponent sign only") << "7E+x" << 7.0;
    QTest::newRow("hex") << "&H1F" << 31.0;
    QTest::newRow("hex lower case") << "&hff" << 255.0;
    QTest::newRow("hex with blanks") << "&H 1 0" << 16.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("octal stops at 8") << "&o78" << 7.0;
    QTest::newRow("hex without digits") << "&H" << 0.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("sign before hex") << "-&H10" << 0.0;
    QTest::newRow("trailing junk") << "12abc" << 12.0;
    QTest::newRow("leading junk") << "x12" << 0.0;
    QTest::newRow("comma ends it") << "1,5" << 1.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("only signs") << "+-+-" << 0.0;
    QTest::newRow("NaN text") << "NaN" << 0.0;
    QTest::newRow("zero fraction digits") << "0.000125" << 0.000125;
    QTest::newRow("non-ASCII digit") << QString::fromUtf16(u"\uFF11") << 0.0;
}

void TestSettings::numberOfText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::numberOfText(QStringView(text)), value);
    QCOMPARE(::numberOfText(QByteArrayView(::toAnsi(text))), value);
}

void TestSettings::numberOfTextAbsurd_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    const qsizetype million = 1'000'000;
    QTest::newRow("million nines") << QString(million, u'9') << Inf;
    QTest::newRow("million zeros then 5") << QString(million, u'0') + u'5' << 5.0;
    QTest::newRow("million fraction zeros")
        << QStringLiteral("0.") + QString(million, u'0') + u'1' << 0.0;
    QTest::newRow("million digits scaled back")
        << QStringLiteral("1") + QString(million, u'0') + QStringLiteral("E-1000000") << 1.0;
    QTest::newRow("exponent 99999") << "1E99999" << Inf;
    QTest::newRow("negative exponent 99999") << "-1E99999" << -Inf;
    QTest::newRow("tiny exponent") << "1E-99999" << 0.0;
    QTest::newRow("million-digit exponent") << QStringLiteral("1E") + QString(million, u'9') << Inf;
    QTest::newRow("million hex digits") << QStringLiteral("&H") + QString(million, u'F') << Inf;
    QTest::newRow("million signs") << QString(million, u'-') << 0.0;
    QTest::newRow("million blanks then 7") << QString(million, u' ') + u'7' << 7.0;
}

void TestSettings::numberOfTextAbsurd()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QElapsedTimer timer;
    timer.start();
    const double actual = ::numberOfText(QStringView(text));
    // Linear work on a million characters is milliseconds; quadratic would be hours.
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(actual, value);
}

void TestSettings::roundToByte_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("rounded");

    QTest::newRow("0.5 to even 0") << 0.5 << true << 0;
    QTest::newRow("1.5 to even 2") << 1.5 << true << 2;
    QTest::newRow("2.5 to even 2") << 2.5 << true << 2;
    QTest::newRow("3.5 to even 4") << 3.5 << true << 4;
    QTest::newRow("254.5 to 254") << 254.5 << true << 254;
    QTest::newRow("255.4 to 255") << 255.4 << true << 255;
    QTest::newRow("255.5 out") << 255.5 << false << 0;
    QTest::newRow("-0.4 to 0") << -0.4 << true << 0;
    QTest::newRow("-0.5 to 0") << -0.5 << true << 0;
    QTest::newRow("-0.6 out") << -0.6 << false << 0;
    QTest::newRow("infinity out") << Inf << false << 0;
    QTest::newRow("NaN out") << std::numeric_limits<double>::quiet_NaN() << false << 0;
}

void TestSettings::roundToByte()
{
    QFETCH(double, value);
    QFETCH(bool, valid);
    QFETCH(int, rounded);
    const std::optional<int> r = ::roundToByte(value);
    QCOMPARE(r.has_value(), valid);
    if (valid)
        QCOMPARE(*r, rounded);
}

void TestSettings::roundToInt32_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("rounded");

    QTest::newRow("38400") << 38400.0 << true << 38400;
    QTest::newRow("9600.5 to even") << 9600.5 << true << 9600;
    QTest::newRow("max") << 2147483647.0 << true << 2147483647;
    QTest::newRow("max plus 0.5 rounds past") << 2147483647.5 << false << 0;
    QTest::newRow("2^32 out") << 4294967296.0 << false << 0;
    QTest::newRow("min") << -2147483648.0 << true << std::numeric_limits<int>::min();
    QTest::newRow("min minus 0.5 to even")
        << -2147483648.5 << true << std::numeric_limits<int>::min();
    QTest::newRow("min minus 1 out") << -2147483649.0 << false << 0;
    QTest::newRow("infinity out") << -Inf << false << 0;
    QTest::newRow("NaN out") << std::numeric_limits<double>::quiet_NaN() << false << 0;
}

void TestSettings::roundToInt32()
{
    QFETCH(double, value);
    QFETCH(bool, valid);
    QFETCH(int, rounded);
    const std::optional<int> r = ::roundToInt32(value);
    QCOMPARE(r.has_value(), valid);
    if (valid)
        QCOMPARE(*r, rounded);
}

void TestSettings::ansiMatchesWindows1252()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = fromAnsi(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(::toAnsi(text), all);

    // An independent table, where the host's Qt has one.
    QStringDecoder reference("windows-1252");
    if (!reference.isValid())
        QSKIP("no Windows-1252 decoder on this host to compare with");
    QCOMPARE(text, reference.decode(all));
}

void TestSettings::toAnsi_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ASCII") << "Hello, 1=2" << QByteArray("Hello, 1=2");
    QTest::newRow("euro") << QString::fromUtf16(u"\u20AC") << QByteArray("\x80");
    QTest::newRow("e acute") << QString::fromUtf16(u"caf\u00E9") << QByteArray("caf\xE9");
    QTest::newRow("Y diaeresis") << QString::fromUtf16(u"\u0178") << QByteArray("\x9F");
    QTest::newRow("undefined code kept") << QString::fromUtf16(u"\u008D") << QByteArray("\x8D");
    QTest::newRow("U+0080 is not 0x80") << QString::fromUtf16(u"\u0080") << QByteArray("?");
    QTest::newRow("Cyrillic") << QString::fromUtf16(u"\u0416x") << QByteArray("?x");
    QTest::newRow("surrogate pair is one char")
        << QString::fromUtf16(u"a\U0001F600b") << QByteArray("a?b");
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) + u'A' << QByteArray("?A");
    QTest::newRow("lone low surrogate") << QString(QChar(0xDE00)) << QByteArray("?");
}

void TestSettings::toAnsi()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(::toAnsi(text), bytes);
}

void TestSettings::readSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Define>("expected");

    const auto port = [](int p) { return with([p](Define &d) { d.ComPort = p; }); };

    // Header.
    QTest::newRow("empty file") << QByteArray() << with();
    QTest::newRow("header lower case") << QByteArray("poleset\r\nPort= 3\r\n") << port(3);
    QTest::newRow("header with anything after")
        << QByteArray("POLESETxyz whatever\r\nPort= 3\r\n") << port(3);
    QTest::newRow("header short") << QByteArray("POLESE\r\nPort= 3\r\n") << with();
    QTest::newRow("header with leading blank") << QByteArray(" PoleSet\r\nPort= 3\r\n") << with();
    QTest::newRow("header wrong") << QByteArray("[PoleSet]\r\nPort= 3\r\n") << with();
    QTest::newRow("no header, settings first")
        << QByteArray("Port= 3\r\nPoleSet\r\nPort= 2\r\n") << with();

    // Port.
    QTest::newRow("port 3") << settingsFile({"Port= 3"}) << port(3);
    QTest::newRow("port 0") << settingsFile({"Port= 0"}) << port(1);
    QTest::newRow("port 5") << settingsFile({"Port= 5"}) << port(1);
    QTest::newRow("port 255") << settingsFile({"Port= 255"}) << port(1);
    QTest::newRow("port 2.5 to even") << settingsFile({"Port= 2.5"}) << port(2);
    QTest::newRow("port 3.5 to even") << settingsFile({"Port= 3.5"}) << port(4);
    QTest::newRow("port hex") << settingsFile({"Port=&H3"}) << port(3);
    const Define e7 = with([](Define &d) {
        d.ComParity = 1;
        d.ComBitLen = 7;
        d.DspCommunication = 3;
    });
    QTest::newRow("port -1 keeps reading")
        << settingsFile({"Port= 2", "Parity=E", "Port= -1", "BitLen= 7"}) << e7;
    QTest::newRow("port 300 keeps reading")
        << settingsFile({"Parity=E", "Port= 300", "BitLen= 7"}) << e7;
    QTest::newRow("port 1E400 keeps reading")
        << settingsFile({"Parity=E", "Port= 1E400", "BitLen= 7"}) << e7;

    // Baud.
    const auto baud = [](int rate, int index) {
        return with([=](Define &d) {
            d.ComBaud = rate;
            d.DspBaud = index;
        });
    };
    QTest::newRow("baud 9600") << settingsFile({"Baud= 9600"}) << baud(9600, 0);
    QTest::newRow("baud 300") << settingsFile({"Baud= 300"}) << baud(300, 5);
    QTest::newRow("baud 38400") << settingsFile({"Baud= 38400"}) << baud(38400, 6);
    QTest::newRow("baud 19200") << settingsFile({"Baud= 19200"}) << baud(19200, 7);
    QTest::newRow("baud 110") << settingsFile({"Baud= 4800", "Baud= 110"}) << baud(9600, 0);
    QTest::newRow("baud beyond 32 bits keeps reading")
        << settingsFile({"Baud= 1E10", "Port= 2"}) << with([](Define &d) { d.ComPort = 2; });
    QTest::newRow("baud 2^32 plus 9600") << settingsFile({"Baud= 4294976896"}) << baud(9600, 0);

    // Parity.
    const auto parity = [](int p) {
        return with([p](Define &d) {
            d.ComParity = p;
            d.DspCommunication = 2 * p;
        });
    };
    QTest::newRow("parity E") << settingsFile({"Parity=E"}) << parity(1);
    QTest::newRow("parity e") << settingsFile({"Parity=e"}) << parity(1);
    QTest::newRow("parity O") << settingsFile({"Parity=O"}) << parity(2);
    QTest::newRow("parity blanks around") << settingsFile({"Parity=  o  "}) << parity(2);
    QTest::newRow("parity Even") << settingsFile({"Parity=Even"}) << parity(0);
    QTest::newRow("parity tab") << settingsFile({"Parity=\tE"}) << parity(0);

    // Data bits.
    const auto bits = [](int b) {
        return with([b](Define &d) {
            d.ComBitLen = b;
            d.DspCommunication = 8 - b;
        });
    };
    QTest::newRow("bitlen 7") << settingsFile({"BitLen= 7"}) << bits(7);
    QTest::newRow("bitlen 5") << settingsFile({"BitLen= 7", "BitLen= 5"}) << bits(8);
    QTest::newRow("bitlen 9") << settingsFile({"BitLen= 9"}) << bits(8);
    QTest::newRow("bitlen -7") << settingsFile({"BitLen= -7", "Port= 2"})
                               << with([](Define &d) { d.ComPort = 2; });

    // Display indexes.
    const auto inChar = [](int v) { return with([v](Define &d) { d.DspINChar = v; }); };
    QTest::newRow("inchar 15") << settingsFile({"INChar= 15"}) << inChar(15);
    QTest::newRow("inchar 16") << settingsFile({"INChar= 16"}) << inChar(0);
    QTest::newRow("inchar -1") << settingsFile({"INChar= 3", "INChar= -1"}) << inChar(0);
    const auto codePage = [](int v) { return with([v](Define &d) { d.DspCodePage = v; }); };
    QTest::newRow("codepage 9") << settingsFile({"CodePage= 9"}) << codePage(9);
    QTest::newRow("codepage 10") << settingsFile({"CodePage= 10"}) << codePage(0);
    const auto emulation = [](int v) { return with([v](Define &d) { d.DspEmulation = v; }); };
    QTest::newRow("emulation ESC/POS") << settingsFile({"Emulation=ESC/POS"}) << emulation(1);
    QTest::newRow("emulation blanks around")
        << settingsFile({"Emulation= ESC/POS "}) << emulation(1);
    QTest::newRow("emulation lower case") << settingsFile({"Emulation=esc/pos"}) << emulation(0);
    QTest::newRow("emulation T3150LC")
        << settingsFile({"Emulation=ESC/POS", "Emulation=T3150LC"}) << emulation(0);

    // Messages.
    QTest::newRow("upper kept exactly")
        << settingsFile({"Upper=  a = b  ", "Lower==x="}) << with([](Define &d) {
               d.DspUpperLine = QStringLiteral("  a = b  ");
               d.DspLowerLine = QStringLiteral("=x=");
           });
    QTest::newRow("Windows-1252 message")
        << settingsFile({"Upper=caf\xE9 \x80", "Lower=\x81"}) << with([](Define &d) {
               d.DspUpperLine = QString::fromUtf16(u"caf\u00E9 \u20AC");
               d.DspLowerLine = QString::fromUtf16(u"\u0081");
           });
    QTest::newRow("tab in message kept")
        << settingsFile({"Lower=\tx"})
        << with([](Define &d) { d.DspLowerLine = QStringLiteral("\tx"); });

    // Keys and lines.
    QTest::newRow("key any case") << settingsFile({"pOrT= 3"}) << port(3);
    QTest::newRow("blank before equals ignored") << settingsFile({"Port =3", " Port=3"}) << with();
    QTest::newRow("line starting with equals ignored") << settingsFile({"=Port= 3"}) << with();
    QTest::newRow("line without equals ignored") << settingsFile({"Port 3", ""}) << with();
    QTest::newRow("last occurrence wins")
        << settingsFile({"Port= 2", "Port= 4", "Port= 3"}) << port(3);
    QTest::newRow("CR only endings")
        << QByteArray("PoleSet\rPort= 3\rUpper=a\r") << with([](Define &d) {
               d.ComPort = 3;
               d.DspUpperLine = QStringLiteral("a");
           });
    QTest::newRow("LF only endings")
        << QByteArray("PoleSet\nPort= 3\nUpper=a\n") << with([](Define &d) {
               d.ComPort = 3;
               d.DspUpperLine = QStringLiteral("a");
           });
    QTest::newRow("mixed endings")
        << QByteArray("PoleSet\r\nPort= 3\n\rUpper=a\r\r\nLower=b") << with([](Define &d) {
               d.ComPort = 3;
               d.DspUpperLine = QStringLiteral("a");
               d.DspLowerLine = QStringLiteral("b");
           });
    QTest::newRow("last line without ending")
        << QByteArray("PoleSet\r\nPort= 2\r\nPort= 3") << port(3);
    QTest::newRow("NUL inside line")
        << QByteArray("PoleSet\r\nUpper=a\0b\r\nPort\0= 3\r\n", 31)
        << with([](Define &d) { d.DspUpperLine = QString::fromUtf16(u"a\0b", 3); });

    QTest::newRow("full file") << settingsFile({"Port= 2", "Baud= 38400", "Parity=O", "BitLen= 7",
                                                "INChar= 12", "CodePage= 3", "Emulation=ESC/POS",
                                                "Upper=Hello", "Lower=World"})
                               << with([](Define &d) {
                                      d.ComPort = 2;
                                      d.ComBaud = 38400;
                                      d.DspBaud = 6;
                                      d.ComParity = 2;
                                      d.ComBitLen = 7;
                                      d.DspCommunication = 5;
                                      d.DspINChar = 12;
                                      d.DspCodePage = 3;
                                      d.DspEmulation = 1;
                                      d.DspUpperLine = QStringLiteral("Hello");
                                      d.DspLowerLine = QStringLiteral("World");
                                  });
}

void TestSettings::readSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(Define, expected);
    compareDefines(readFrom(file), expected);
}

void TestSettings::readSettingsInPieces()
{
    QFETCH(QByteArray, file);
    QFETCH(Define, expected);
    // Every line ending and every line falls across reads.
    TrickleDevice device(file);
    Define d = dirtyDefine();
    ::readSettings(device, d);
    QVERIFY(file.size() < 2 || device.reads >= 2);
    compareDefines(d, expected);
}

void TestSettings::readErrorKeepsWhatWasRead()
{
    const QByteArray file = settingsFile({"Parity=E", "BitLen= 7", "Port= 3"});
    TrickleDevice device(file, file.indexOf("Port") + 2);
    Define d = dirtyDefine();
    ::readSettings(device, d);
    compareDefines(d, with([](Define &e) {
                       e.ComParity = 1;
                       e.ComBitLen = 7;
                       e.DspCommunication = 3;
                   }));
}

void TestSettings::longLinesAreBounded()
{
    // A header and a message far longer than any real line: the lines after them are still read,
    // and what is kept of the long one is its beginning.
    const QByteArray file = "PoleSet" + QByteArray(100'000, '*') +
                            "\r\nUpper=" + QByteArray(100'000, 'y') + "\r\nPort= 3\r\n";
    const Define d = readFrom(file);
    QCOMPARE(d.ComPort, 3);
    QVERIFY(!d.DspUpperLine.isEmpty());
    QVERIFY(d.DspUpperLine.size() <= 4096);
    QCOMPARE(d.DspUpperLine, QString(d.DspUpperLine.size(), u'y'));
}

void TestSettings::encodeSettings_data()
{
    QTest::addColumn<Define>("define");
    QTest::addColumn<QDateTime>("stamp");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("defaults, no messages") << with() << QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4))
                                           << QByteArray("PoleSet   03-07-2026  09:05:04\r\n"
                                                         "Port= 1\r\n"
                                                         "Baud= 9600\r\n"
                                                         "Parity=N\r\n"
                                                         "BitLen= 8\r\n"
                                                         "INChar= 0\r\n"
                                                         "CodePage= 0\r\n"
                                                         "Emulation=T3150LC\r\n");

    QTest::newRow("everything set") << with([](Define &d) {
        d.ComPort = 3;
        d.ComBaud = 19200;
        d.ComParity = 2;
        d.ComBitLen = 7;
        d.DspINChar = 15;
        d.DspCodePage = 9;
        d.DspEmulation = 1;
        d.DspCommunication = 4; // never written
        d.DspBaud = 2;          // never written
        d.DspUpperLine = QString::fromUtf16(u"  Hi=there \u20AC");
        d.DspLowerLine = QString::fromUtf16(u"caf\u00E9\u0416");
    }) << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58))
                                    << QByteArray("PoleSet   12-31-2025  23:59:58\r\n"
                                                  "Port= 3\r\n"
                                                  "Baud= 19200\r\n"
                                                  "Parity=O\r\n"
                                                  "BitLen= 7\r\n"
                                                  "INChar= 15\r\n"
                                                  "CodePage= 9\r\n"
                                                  "Emulation=ESC/POS\r\n"
                                                  "Upper=  Hi=there \x80\r\n"
                                                  "Lower=caf\xE9?\r\n");

    QTest::newRow("even parity, lower only") << with([](Define &d) {
        d.ComParity = 1;
        d.DspLowerLine = QStringLiteral("x");
    }) << QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0))
                                             << QByteArray("PoleSet   01-02-2026  00:00:00\r\n"
                                                           "Port= 1\r\n"
                                                           "Baud= 9600\r\n"
                                                           "Parity=E\r\n"
                                                           "BitLen= 8\r\n"
                                                           "INChar= 0\r\n"
                                                           "CodePage= 0\r\n"
                                                           "Emulation=T3150LC\r\n"
                                                           "Lower=x\r\n");

    QTest::newRow("line break in a message cannot add a line")
        << with([](Define &d) { d.DspUpperLine = QStringLiteral("a\r\nPort= 3\nb"); })
        << QDateTime(QDate(2026, 1, 2), QTime(12, 0, 0))
        << QByteArray("PoleSet   01-02-2026  12:00:00\r\n"
                      "Port= 1\r\n"
                      "Baud= 9600\r\n"
                      "Parity=N\r\n"
                      "BitLen= 8\r\n"
                      "INChar= 0\r\n"
                      "CodePage= 0\r\n"
                      "Emulation=T3150LC\r\n"
                      "Upper=a??Port= 3?b\r\n");
}

void TestSettings::encodeSettings()
{
    QFETCH(Define, define);
    QFETCH(QDateTime, stamp);
    QFETCH(QByteArray, bytes);
    QCOMPARE(::encodeSettings(define, stamp), bytes);
}

void TestSettings::roundTrip_data()
{
    QTest::addColumn<Define>("define");

    QTest::newRow("defaults") << with();
    QTest::newRow("E-7 at 38400, ESC/POS") << with([](Define &d) {
        d.ComPort = 4;
        d.ComBaud = 38400;
        d.ComParity = 1;
        d.ComBitLen = 7;
        d.DspINChar = 15;
        d.DspCodePage = 9;
        d.DspEmulation = 1;
        d.DspUpperLine = QStringLiteral(" Welcome = ");
        d.DspLowerLine = QString::fromUtf16(u"\u20AC 1,99 caf\u00E9");
    });
    QTest::newRow("stale display indexes follow PC side") << with([](Define &d) {
        d.ComPort = 2;
        d.ComBaud = 300;
        d.ComParity = 2;
        d.DspBaud = 3;
        d.DspCommunication = 1;
        d.ArrowIndex = 1;
        d.IFSetCancelled = true;
        d.DspUpperLine = QStringLiteral("upper");
    });
}

void TestSettings::roundTrip()
{
    QFETCH(Define, define);
    const Define d = readFrom(::encodeSettings(define, QDateTime(QDate(2026, 5, 6), QTime(7, 8))));
    compareDefines(d, derived(define));
}

void TestSettings::settingsFilePathJoinsAppDir()
{
    Define d;
    d.AppDir = QStringLiteral("/some/dir");
    QCOMPARE(settingsFilePath(d),
             QDir::toNativeSeparators(QStringLiteral("/some/dir/PoleSet.ini")));
    d.AppDir = QStringLiteral("/some/dir/");
    QCOMPARE(settingsFilePath(d),
             QDir::toNativeSeparators(QStringLiteral("/some/dir/PoleSet.ini")));
}

void TestSettings::missingFileGivesDefaults()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Define d = dirtyDefine();
    d.AppDir = dir.path();
    ReadSettings(d);
    Define expected;
    expected.AppDir = dir.path();
    compareDefines(d, expected);
}

void TestSettings::saveReplacesWholeFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Define d = with([](Define &e) {
        e.ComPort = 2;
        e.ComBaud = 4800;
        e.DspEmulation = 1;
        e.DspUpperLine = QStringLiteral("new");
    });
    d.AppDir = dir.path();
    const QString path = settingsFilePath(d);
    QVERIFY(writeFile(path, "PoleSet\r\nLower=left over\r\n" + QByteArray(10'000, 'x')));

    const QDateTime stamp(QDate(2026, 2, 3), QTime(4, 5, 6));
    QVERIFY(SaveSettings(d, stamp));
    QCOMPARE(fileBytes(path), ::encodeSettings(d, stamp));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{QStringLiteral("PoleSet.ini")});

    Define back = dirtyDefine();
    back.AppDir = dir.path();
    ReadSettings(back);
    compareDefines(back, derived(d));
}

void TestSettings::failedSaveKeepsTarget_data()
{
    QTest::addColumn<bool>("targetIsDirectory");
    QTest::newRow("target is a directory") << true;
    QTest::newRow("directory missing") << false;
}

void TestSettings::failedSaveKeepsTarget()
{
    QFETCH(bool, targetIsDirectory);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Define d = with();
    d.AppDir = targetIsDirectory ? dir.path() : dir.filePath(QStringLiteral("gone"));
    const QString path = settingsFilePath(d);
    if (targetIsDirectory) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("PoleSet.ini")));
        QVERIFY(writeFile(path + QStringLiteral("/inside"), "kept"));
    }

    QVERIFY(!SaveSettings(d));

    if (targetIsDirectory) {
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(fileBytes(path + QStringLiteral("/inside")), QByteArray("kept"));
        // No temporary file left behind.
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
            QStringList{QStringLiteral("PoleSet.ini")});
    } else {
        QVERIFY(!QFileInfo::exists(d.AppDir));
    }
}

void TestSettings::failedSaveInReadOnlyDirectoryKeepsOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Define d = with([](Define &e) { e.ComPort = 4; });
    d.AppDir = dir.path();
    const QByteArray old = settingsFile({"Port= 2", "Upper=old"});
    QVERIFY(writeFile(settingsFilePath(d), old));

    QFile dirEntry(dir.path());
    const auto permissions = dirEntry.permissions();
    QVERIFY(dirEntry.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard([&] { dirEntry.setPermissions(permissions); });
    {
        QFile probe(dir.filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            QSKIP("permissions are not enforced for this user (root?)");
        }
    }

    QVERIFY(!SaveSettings(d));
    QCOMPARE(fileBytes(settingsFilePath(d)), old);
}

void TestSettings::failedWriteHalfwayKeepsOldFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Define d = with([](Define &e) { e.DspUpperLine = QString(200, u'u'); });
    d.AppDir = dir.path();
    const QByteArray old = settingsFile({"Port= 2"});
    QVERIFY(writeFile(settingsFilePath(d), old));

    // A file size limit makes the write stop partway, as a full disk would.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved64 = SaveSettings(d);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved64);
    QCOMPARE(fileBytes(settingsFilePath(d)), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{QStringLiteral("PoleSet.ini")});
#else
    QSKIP("needs a file size limit");
#endif
}

void TestSettings::hugeJunkFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Define d = dirtyDefine();
    d.AppDir = dir.path();

    // 100 MB of random bytes after a valid header, then two real lines, the last one unended.
    {
        QFile f(settingsFilePath(d));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        QRandomGenerator random(20260101);
        random.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
        QVERIFY(f.write("PoleSet\r\n") == 9);
        for (int i = 0; i < 100; ++i)
            QVERIFY(f.write(chunk) == chunk.size());
        QVERIFY(f.write("\r\nBitLen= 7\r\nPort= 3") > 0);
    }

#ifdef Q_OS_LINUX
    const qint64 peakBefore = peakMemoryKb();
#endif
    QElapsedTimer timer;
    timer.start();
    ReadSettings(d);
    const qint64 elapsed = timer.elapsed();

    QCOMPARE(d.ComPort, 3);
    QCOMPARE(d.ComBitLen, 7);
    QCOMPARE(d.DspCommunication, 1);
    QCOMPARE(d.AppDir, dir.path());
    QVERIFY2(elapsed < 20'000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
#ifdef Q_OS_LINUX
    const qint64 peakAfter = peakMemoryKb();
    if (peakBefore >= 0 && peakAfter >= 0)
        QVERIFY2(peakAfter - peakBefore < 16 * 1024,
                 qPrintable(QStringLiteral("peak grew by %1 kB").arg(peakAfter - peakBefore)));
#endif
}

void TestSettings::nulAndUnendedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Define>("expected");

    QTest::newRow("only NULs") << QByteArray(1 << 20, '\0') << with();
    QTest::newRow("NULs after header")
        << "PoleSet\r\n" + QByteArray(1 << 20, '\0') + "\r\nBitLen= 7" << with([](Define &d) {
               d.ComBitLen = 7;
               d.DspCommunication = 1;
           });
    QTest::newRow("header without line ending") << "PoleSet" + QByteArray(1 << 22, 'p') << with();
}

void TestSettings::nulAndUnendedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(Define, expected);
    compareDefines(readFrom(file), expected);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
