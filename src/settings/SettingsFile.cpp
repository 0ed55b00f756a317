#include "SettingsFile.h"

#include "Ansi.h"
#include "NumberOfText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr qint64 ChunkSize = qint64{16} * 1024;
// A settings file is a few hundred bytes; reading stops here, as at the end of the file, so that
// a huge file cannot hold up start-up.
constexpr qint64 MaxFileBytes = qint64{64} * 1024;
// No valid line comes near this; the rest of a longer line is skipped so that a long line cannot
// make reading grow.
constexpr qsizetype MaxLineBytes = 4096;

// Splits a device into lines ended by CR, LF or CR LF, reading it in chunks.
class LineReader
{
public:
    explicit LineReader(QIODevice &in)
        : m_in(in)
        , m_buffer(ChunkSize)
        , m_line(MaxLineBytes)
    {}

    // The next line without its ending, cut to MaxLineBytes; empty once the input is exhausted.
    // A last line without an ending still counts. The view is valid until the next call.
    std::optional<QByteArrayView> next()
    {
        qsizetype length = 0;
        bool any = false;
        for (;;) {
            if (m_pos == m_end && !fill())
                return any ? std::optional(QByteArrayView(m_line.data(), length)) : std::nullopt;
            if (m_skipLf) {
                m_skipLf = false;
                if (m_buffer[m_pos] == '\n') {
                    ++m_pos;
                    continue;
                }
            }
            any = true;
            const qsizetype stop = nextBreak();
            const qsizetype take = std::min(stop - m_pos, MaxLineBytes - length);
            std::memcpy(m_line.data() + length, m_buffer.data() + m_pos, size_t(take));
            length += take;
            if (stop == m_end) {
                m_pos = m_end;
                continue;
            }
            m_skipLf = m_buffer[stop] == '\r';
            m_pos = stop + 1;
            return QByteArrayView(m_line.data(), length);
        }
    }

private:
    bool fill()
    {
        if (m_atEnd)
            return false;
        // An error counts as the end: whatever was read so far stays.
        const qint64 n = m_in.read(m_buffer.data(), std::min(ChunkSize, MaxFileBytes - m_read));
        if (n <= 0) {
            m_atEnd = true;
            return false;
        }
        m_read += n;
        m_pos = 0;
        m_end = n;
        m_cr = m_lf = -1;
        return true;
    }

    // Position of the next CR or LF in the chunk, or its end. The two searches are remembered so
    // that many short lines do not rescan a long stretch without the other character.
    qsizetype nextBreak()
    {
        if (m_cr < m_pos)
            m_cr = find('\r');
        if (m_lf < m_pos)
            m_lf = find('\n');
        return std::min(m_cr, m_lf);
    }
    qsizetype find(char c) const
    {
        const void *hit = std::memchr(m_buffer.data() + m_pos, c, size_t(m_end - m_pos));
        return hit ? static_cast<const char *>(hit) - m_buffer.data() : m_end;
    }

    QIODevice &m_in;
    std::vector<char> m_buffer;
    std::vector<char> m_line;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    qsizetype m_cr = -1;
    qsizetype m_lf = -1;
    qint64 m_read = 0;
    bool m_skipLf = false;
    bool m_atEnd = false;
};

// Keys and the header compare in any case. The words they are compared with are plain ASCII, so
// only ASCII letters need folding.
bool equalsIgnoringCase(QByteArrayView text, QByteArrayView upper)
{
    if (text.size() != upper.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}

// Only blanks are trimmed; a tab is part of the value.
QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && v.front() == ' ')
        v = v.sliced(1);
    while (!v.isEmpty() && v.back() == ' ')
        v.chop(1);
    return v;
}

bool headerAccepted(QByteArrayView line)
{
    // A shorter line is padded with asterisks, so it can never match.
    return line.size() >= 7 && equalsIgnoringCase(line.first(7), "POLESET");
}

// A value out of range for its setting is treated like any other invalid value of that key.
void applyLine(QByteArrayView line, Define &d)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return;
    const QByteArrayView key = line.first(eq);
    const QByteArrayView value = line.sliced(eq + 1);
    const auto byteValue = [&] { return roundToByte(numberOfText(trimmed(value))); };

    if (equalsIgnoringCase(key, "PORT")) {
        const auto v = byteValue();
        d.ComPort = v && *v >= 1 && *v <= 4 ? *v : 1;
    } else if (equalsIgnoringCase(key, "BAUD")) {
        const auto v = roundToInt32(numberOfText(trimmed(value)));
        const int index = v ? dspBaudIndexOf(*v) : -1;
        d.ComBaud = index < 0 ? 9600 : *v;
        d.DspBaud = index < 0 ? 0 : index;
    } else if (equalsIgnoringCase(key, "PARITY")) {
        // Any other value means none.
        const QByteArrayView p = trimmed(value);
        d.ComParity = int(p.size() == 1 ? parityOfLetter(QLatin1Char(p[0])).value_or(Parity::None)
                                        : Parity::None);
    } else if (equalsIgnoringCase(key, "BITLEN")) {
        const auto v = byteValue();
        d.ComBitLen = v == 7 ? 7 : 8;
    } else if (equalsIgnoringCase(key, "INCHAR")) {
        const auto v = byteValue();
        d.DspINChar = v && *v <= 15 ? *v : 0;
    } else if (equalsIgnoringCase(key, "CODEPAGE")) {
        const auto v = byteValue();
        d.DspCodePage = v && *v <= 9 ? *v : 0;
    } else if (equalsIgnoringCase(key, "EMULATION")) {
        d.DspEmulation = trimmed(value) == QByteArrayView("ESC/POS") ? 1 : 0;
    } else if (equalsIgnoringCase(key, "UPPER")) {
        d.DspUpperLine = fromAnsi(value);
    } else if (equalsIgnoringCase(key, "LOWER")) {
        d.DspLowerLine = fromAnsi(value);
    }
}

QByteArray numberValue(int n)
{
    // The blank stands where a minus sign would be.
    return n < 0 ? QByteArray::number(n) : ' ' + QByteArray::number(n);
}

QByteArray twoDigits(int n)
{
    return QByteArray::number(n).rightJustified(2, '0');
}

// A line break inside a message would end its line early and turn the rest into a line of its own.
QByteArray messageValue(const QString &text)
{
    QByteArray bytes = toAnsi(text);
    bytes.replace('\r', '?').replace('\n', '?');
    return bytes;
}

} // namespace

bool readSettings(QIODevice &in, Define &define)
{
    define.resetToDefaults();
    LineReader reader(in);
    const auto header = reader.next();
    if (!header || !headerAccepted(*header))
        return false;
    while (const auto line = reader.next())
        applyLine(*line, define);
    define.DspCommunication =
        std::max(0, dspCommunicationOf(Parity(define.ComParity), define.ComBitLen));
    return true;
}

QByteArray encodeSettings(const Define &define, const QDateTime &stamp)
{
    const QDate date = stamp.date();
    const QTime time = stamp.time();
    QByteArray out;
    out += "PoleSet   " + twoDigits(date.month()) + '-' + twoDigits(date.day()) + '-' +
           QByteArray::number(date.year()).rightJustified(4, '0') + "  " + twoDigits(time.hour()) +
           ':' + twoDigits(time.minute()) + ':' + twoDigits(time.second()) + "\r\n";
    out += "Port=" + numberValue(define.ComPort) + "\r\n";
    out += "Baud=" + numberValue(define.ComBaud) + "\r\n";
    out += QByteArray("Parity=") + parityLetter(Parity(define.ComParity)).toLatin1() + "\r\n";
    out += "BitLen=" + numberValue(define.ComBitLen) + "\r\n";
    out += "INChar=" + numberValue(define.DspINChar) + "\r\n";
    out += "CodePage=" + numberValue(define.DspCodePage) + "\r\n";
    out += define.DspEmulation == 1 ? "Emulation=ESC/POS\r\n" : "Emulation=T3150LC\r\n";
    if (!define.DspUpperLine.isEmpty())
        out += "Upper=" + messageValue(define.DspUpperLine) + "\r\n";
    if (!define.DspLowerLine.isEmpty())
        out += "Lower=" + messageValue(define.DspLowerLine) + "\r\n";
    return out;
}

Q_LOGGING_CATEGORY(lcSettings, "poleset.settings", QtWarningMsg)

QString settingsFilePath(const Define &define)
{
    return QDir::toNativeSeparators(QDir(define.AppDir).filePath(QStringLiteral("PoleSet.ini")));
}

namespace {

bool failed(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return false;
}

} // namespace

bool ReadSettingsFile(const QString &path, Define &define, QString *why)
{
    define.resetToDefaults();
    // Only a regular file is read (through a link, too): a device, a FIFO or a directory in its
    // place would block, never end or mean nothing, and is not even opened.
    const QFileInfo info(path);
    if (!info.exists())
        return failed(why, QStringLiteral("there is no such file"));
    if (!info.isFile())
        return failed(why, QStringLiteral("it is not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failed(why, file.errorString());
    if (!readSettings(file, define))
        return failed(why, QStringLiteral("it is not a PoleSet settings file (its first line "
                                          "does not begin with PoleSet)"));
    return true;
}

void ReadSettings(Define &define)
{
    // Whatever is wrong with the file, the defaults hold; nothing is said but to the trace.
    QString why;
    if (ReadSettingsFile(settingsFilePath(define), define, &why))
        qCDebug(lcSettings).noquote() << "read" << settingsFilePath(define);
    else
        qCDebug(lcSettings).noquote()
            << "defaults:" << settingsFilePath(define) << "not read:" << why;
}

namespace {

// For a directory that takes no new files: the new text is written over the file itself. The
// part of the old text it covers is kept and put back, with the old length, if the write fails
// part-way, so a failure loses nothing of the old file.
bool rewriteInPlace(const QString &path, const QByteArray &text, QString *why)
{
    QFile file(path);
    // ReadWrite alone does not truncate; unbuffered, so a failed write leaves nothing pending.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return failed(why, file.errorString());
    const qint64 oldSize = file.size();
    const QByteArray oldHead = file.read(text.size());
    if (oldHead.size() != std::min<qint64>(oldSize, text.size()))
        return failed(why, file.errorString());
    if (file.seek(0) && file.write(text) == text.size() && file.flush() && file.resize(text.size()))
        return true;
    const QString reason = file.errorString();
    if (file.seek(0) && file.write(oldHead) == oldHead.size() && file.flush())
        file.resize(oldSize);
    return failed(why, reason);
}

} // namespace

bool SaveSettings(const Define &define, QString *why, const QDateTime &stamp)
{
    const QString path = settingsFilePath(define);
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile())
        return failed(why, QStringLiteral("it is not a regular file, so it is left alone"));
    const QByteArray text = encodeSettings(define, stamp);

    // The new text goes to a temporary file that replaces the old one only once it is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (existing.isFile())
            return rewriteInPlace(path, text, why);
        return failed(why, file.errorString());
    }
    // Qt 6.4's commit() misses a write that fails while it flushes its buffer (a full disk) and
    // would put the truncated file in place, so the flush is checked here.
    if (file.write(text) != text.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failed(why, reason);
    }
    return file.commit() || failed(why, file.errorString());
}
