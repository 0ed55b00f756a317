#include "Ansi.h"
#include "NumberOfText.h"
#include "SettingsFile.h"

#include <QtTest>

#include <csignal>
#include <limits>
#include <numeric>
#include <optional>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(Define)

namespace {

// Every field away from its default, so a reader that forgets to reset one is caught. Positional
// initialisers follow Define's field order.
const Define Dirty{4, 300, 2, 7, 9, 5, 1, 5, 5, "old upper", "old lower", "keep/this"};

// All fields in one string, so a mismatch shows the whole state at once.
QString dump(const Define &d)
{
    return QString::asprintf("%d %d %d %d %d %d %d %d %d", d.ComPort, d.ComBaud, d.ComParity,
                             d.ComBitLen, d.DspINChar, d.DspCodePage, d.DspEmulation,
                             d.DspCommunication, d.DspBaud) +
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
    return f.open(QIODevice::ReadOnly) ? f.readAll() : "";
}

const QDateTime Stamp(QDate(2026, 3, 7), QTime(9, 5, 4));

// Makes a directory refuse new files while the files in it stay writable: immutable, which holds
// for root too, or else read-only for a user who is not root.
struct ClosedDirectory
{
    QByteArray path;
    bool immutable = setImmutable(FS_IMMUTABLE_FL);
    bool ok = immutable || (::geteuid() != 0 && ::chmod(path.constData(), 0555) == 0);
    ~ClosedDirectory() { immutable ? void(setImmutable(0)) : void(::chmod(path.data(), 0755)); }
    bool setImmutable(int flag) const
    {
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = (flags & ~FS_IMMUTABLE_FL) | flag;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        return (fd < 0 || ::close(fd) == 0) && done;
    }
};

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
        QTest::newRow("blank, tab, D, to even") << QByteArray("1 2\t5 d - 1") << 12.5 << 12;
        QTest::newRow("hex, upper case, G ends it") << QByteArray("&HAF09G1") << 44809.0 << -1;
        QTest::newRow("hex, lower case, g ends it") << QByteArray("&haf09g1") << 44809.0 << -1;
        QTest::newRow("hex, mixed case, 255 in") << QByteArray("&hFf") << 255.0 << 255;
        QTest::newRow("octal stops at 8") << QByteArray("&O178") << 15.0 << 15;
        QTest::newRow("sign before hex") << QByteArray("-&H10") << 0.0 << 0;
        QTest::newRow("3.5 to even, F is no exponent") << QByteArray("3.5F2") << 3.5 << 4;
        QTest::newRow("255.5 out") << QByteArray("255.5") << 255.5 << -1;
        QTest::newRow("huge exponent") << QByteArray("1E99999999999999999999") << qInf() << -1;
        QTest::newRow("million nines") << QByteArray(1'000'000, '9') << qInf() << -1;
        QTest::newRow("plus, zeros before and after") << QByteArray("+0012.90") << 12.9 << 13;
        QTest::newRow("minus, rounds to 0") << QByteArray("-0.4") << -0.4 << 0;
        QTest::newRow("no digit before the point") << QByteArray(".5") << 0.5 << 0;
        QTest::newRow("zeros after the point") << QByteArray("0.000123e4") << 1.23 << 1;
        QTest::newRow("underflow") << QByteArray("1e-400") << 0.0 << 0;
        QTest::newRow("& of no kind") << QByteArray("&x12") << 0.0 << 0;
        QTest::newRow("two-digit exponent") << QByteArray("3E10") << 3e10 << -1;
        QTest::newRow("900 digits") << "1" + QByteArray(850, '0') + "1e-851" << 1.0 << 1;
    }
    void numberRule()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QFETCH(int, byte);
        QCOMPARE(numberOfText(QByteArrayView(text)), value);
        QCOMPARE(numberOfText(QString::fromLatin1(text)), value);
        QCOMPARE(roundToByte(value).value_or(-1), byte);
    }

    // The baud rate's range: a signed 32-bit number.
    void int32Range()
    {
        QCOMPARE(roundToInt32(-2147483648.0).value_or(0), std::numeric_limits<int>::min());
        QCOMPARE(roundToInt32(2147483647.5).has_value(), false);
        QCOMPARE(roundToInt32(-2147483649.0).has_value(), false);
    }

    void windows1252RoundTrip()
    {
        QByteArray all(256, 0);
        std::iota(all.begin(), all.end(), char(0));
        QCOMPARE(toAnsi(fromAnsi(all)), all);
        // U+0080 and U+009F are no Windows-1252 characters; U+00A0 and U+00FF are, U+0100 is not
        // (it must not become a NUL). A pair is one character, also at the very end; a high
        // surrogate there has no partner to look at.
        QCOMPARE(toAnsi(u"\u0080\u009f\u00a0\u00ff\u0100\u20ac\U0001F600"),
                 QByteArray("??\xa0\xff?\x80?"));
        QCOMPARE(toAnsi(u"\xD800"), QByteArray("?"));
        QCOMPARE(fromAnsi("\x80\x81\x9f\xa0"), QString::fromUtf16(u"\u20ac\u0081\u0178\u00a0"));
    }

    void readSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Define>("expected");
        QTest::newRow("empty file") << QByteArray() << Define{};
        QTest::newRow("header short") << QByteArray("POLESE\r\nPort= 3") << Define{};
        QTest::newRow("highest valid values, then port 5")
            << ini("Port= 4|INChar= 15|CodePage= 9|Emulation= ESC/POS |Port= 5")
            << Define{.DspINChar = 15, .DspCodePage = 9, .DspEmulation = 1};
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
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + ini("Port= 3") << Define{.ComPort = 3};
        QTest::newRow("lone CR and LF endings")
            << QByteArray("PoleSet\nPort= 3\rUpper=a\nLower=b")
            << Define{.ComPort = 3, .DspUpperLine = "a", .DspLowerLine = "b"};
        QTest::newRow("NUL inside line") << QByteArray("PoleSet\r\nUpper=a\0b\r\nPort\0= 3\r\n", 31)
                                         << Define{.DspUpperLine = QString::fromUtf16(u"a\0b", 3)};
        QTest::newRow("line across read chunks")
            << "PoleSet" + QByteArray(16370, 'p') + "\r\nPort= 3" << Define{.ComPort = 3};
        // Nothing past 64 KiB counts; what was read before is taken as a whole file.
        QTest::newRow("only the first 64 KiB")
            << ini("BitLen= 7|" + QByteArray(65536, '\n') + "Port= 3")
            << Define{.ComBitLen = 7, .DspCommunication = 1};
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

    void save_data()
    {
        QTest::addColumn<bool>("closedDirectory");
        QTest::addColumn<bool>("linked");
        QTest::newRow("replaced") << false << false;
        QTest::newRow("written in place: the directory takes no new files") << true << false;
        QTest::newRow("through a link: its file replaced beside itself, the link kept")
            << false << true;
    }
    void save()
    {
        QFETCH(bool, closedDirectory);
        QFETCH(bool, linked);
        QTemporaryDir dir;
        QVERIFY(!linked || (QDir(dir.path()).mkdir("real") &&
                            QFile(dir.filePath("real/settings.ini")).open(QIODevice::WriteOnly) &&
                            QFile::link("real/settings.ini", dir.filePath("PoleSet.ini"))));
        // Longer than the next text, which must leave no tail of it.
        const StartDir at(dir.path());
        const Define old{
            .ComPort = 2, .DspUpperLine = QString(300, u'u'), .AppDir = dir.path(), .startDir = at};
        QVERIFY(SaveSettings(old));
        // Saved by root, the file keeps its owner and group, as it keeps its mode.
        const QByteArray path = QFile::encodeName(settingsFilePath(old));
        QVERIFY(::chown(path.constData(), 65534, 65534) == 0 &&
                ::chmod(path.constData(), 0604) == 0);
        std::optional<ClosedDirectory> closed;
        if (closedDirectory && !closed.emplace(QFile::encodeName(dir.path())).ok)
            QSKIP("this file system cannot make a directory refuse new files");
        // A line break in a message must not start a line of its own.
        const QString upper = QString::fromUtf16(u" Hi=there\r\nPort= 3 caf\u00E9\U0001F600\u0416");
        const QString lower = QString::fromUtf16(u"\u20AC 1,99");
        const Define now{4, 38400, 1, 7, 15, 9, 1, 1, 3, upper, lower, dir.path(), at};
        FileFailure why;
        struct stat st;
        QCOMPARE(::stat(path.constData(), &st), 0);
        const ino_t before = st.st_ino;
        QVERIFY2(SaveSettings(now, &why, Stamp), qPrintable(why.system));
        // The display's baud and format are never written.
        const QByteArray saved = fileBytes(settingsFilePath(now));
        QCOMPARE(::stat(path.constData(), &st), 0);
        QCOMPARE(st.st_ino != before, !closedDirectory);
        QCOMPARE(QFileInfo(settingsFilePath(now)).isSymLink(), linked);
        QCOMPARE(st.st_mode & 07777, 0604u);
        QCOMPARE(st.st_uid, 65534u);
        QCOMPARE(st.st_gid, 65534u);
        QCOMPARE(saved, "PoleSet   03-07-2026  09:05:04\r\nPort= 4\r\nBaud= 38400\r\nParity=E\r\n"
                        "BitLen= 7\r\nINChar= 15\r\nCodePage= 9\r\nEmulation=ESC/POS\r\n"
                        "Upper= Hi=there??Port= 3 caf\xE9??\r\nLower=\x80 1,99\r\n");
        // A file size limit makes the write fail partway, as a full disk would.
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit limited{rlim_t(saved.size() + 16), limit.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool ok = SaveSettings(old, &why);
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!ok);
        QCOMPARE(why.kind, FileFailure::System);
        QCOMPARE(fileBytes(settingsFilePath(old)), saved);
        const QStringList left = {"PoleSet.ini", "real/settings.ini"};
        QDirIterator files(dir.path(), QDir::Files | QDir::System | QDir::Hidden,
                           QDirIterator::Subdirectories);
        QStringList found;
        while (files.hasNext())
            found << QDir(dir.path()).relativeFilePath(files.next());
        found.sort();
        QCOMPARE(found, left.mid(0, linked ? 2 : 1));
    }

    void notARegularFile()
    {
        QTemporaryDir dir;
        Define d = Dirty;
        d.AppDir = dir.path();
        d.startDir = StartDir(dir.path());
        const QString path = settingsFilePath(d);
        // A FIFO in its place is read as no file at all, without blocking, and never written. A
        // device or a directory takes the same path.
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        ReadSettings(d);
        QCOMPARE(dump(d), dump(Define{.AppDir = dir.path()}));
        FileFailure why;
        QVERIFY(!SaveSettings(d, &why));
        QCOMPARE(why.kind, FileFailure::LeftAlone);
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
        d.startDir = StartDir(dir.filePath("gone")); // a start-up folder that could not be opened
        QVERIFY(!SaveSettings(d, &why));
        QCOMPARE(why.kind, FileFailure::StartDirClosed);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
