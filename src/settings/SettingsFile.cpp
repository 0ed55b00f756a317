#include "SettingsFile.h"

#include "Ansi.h"
#include "NumberOfText.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    auto header = reader.next();
    // Some editors put a UTF-8 byte-order mark first; it is no reason to drop the settings.
    if (header && header->startsWith("\xEF\xBB\xBF"))
        header = header->sliced(3);
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

// The file is found through the start-up directory's descriptor, never by the path above: the
// directory's name may be in any encoding and its parents closed to the user.
namespace {

constexpr char FileName[] = "PoleSet.ini";

bool failed(FileFailure *why, FileFailure::Kind kind, const QString &system = {})
{
    if (why)
        *why = {.kind = kind, .system = system};
    return false;
}

bool failed(FileFailure *why, int error)
{
    return failed(why, FileFailure::System, systemReason(error));
}

// Only a regular file is read (through a link, too): a device, a FIFO or a directory in its
// place would block, never end or mean nothing, and is not even opened. What is opened is
// looked at again, in case it was swapped in between.
bool readSettingsAt(int dir, const char *name, Define &define, FileFailure *why)
{
    define.resetToDefaults();
    struct stat st;
    if (::fstatat(dir, name, &st, 0) != 0)
        return errno == ENOENT ? failed(why, FileFailure::Missing) : failed(why, errno);
    if (!S_ISREG(st.st_mode))
        return failed(why, FileFailure::NotRegular);
    Descriptor fd(::openat(dir, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return failed(why, errno);
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return failed(why, FileFailure::NotRegular);
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle))
        return failed(why, FileFailure::System, file.errorString());
    if (!readSettings(file, define))
        return failed(why, FileFailure::NotSettings);
    return true;
}

} // namespace

bool ReadSettingsFile(const QString &path, Define &define, FileFailure *why)
{
    return readSettingsAt(AT_FDCWD, QFile::encodeName(path).constData(), define, why);
}

void ReadSettings(Define &define)
{
    // Whatever is wrong with the file, the defaults hold; nothing is said but to the trace.
    FileFailure why;
    if (readSettingsAt(define.startDir.fd(), FileName, define, &why))
        qCDebug(lcSettings).noquote() << "read" << settingsFilePath(define);
    else
        qCDebug(lcSettings).noquote()
            << "defaults:" << settingsFilePath(define) << "not read:" << why.kind << why.system;
}

namespace {

// For a directory that takes no new files (and a link whose file cannot be replaced beside it):
// the new text is written over the file itself. The part of the old text it covers is kept and
// put back, with the old length, if the write fails part-way, so a failure loses nothing of the
// old file.
bool rewriteInPlace(int dir, const QByteArray &text, FileFailure *why)
{
    Descriptor fd(::openat(dir, FileName, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return failed(why, errno);
    if (!S_ISREG(st.st_mode))
        return failed(why, FileFailure::LeftAlone);
    QFile file;
    // Unbuffered, so a failed write leaves nothing pending.
    if (!file.open(fd.release(), QIODevice::ReadWrite | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle))
        return failed(why, FileFailure::System, file.errorString());
    const qint64 oldSize = file.size();
    const QByteArray oldHead = file.read(text.size());
    if (oldHead.size() != std::min<qint64>(oldSize, text.size()))
        return failed(why, FileFailure::System, file.errorString());
    if (file.seek(0) && file.write(text) == text.size() && file.resize(text.size()))
        return true;
    const QString reason = file.errorString();
    if (file.seek(0) && file.write(oldHead) == oldHead.size())
        file.resize(oldSize);
    return failed(why, FileFailure::System, reason);
}

bool writeAll(int fd, const QByteArray &text)
{
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// A new file beside the old one, not yet in its place: "PoleSet.ini." and six random letters.
Descriptor createTemporary(int dir, QByteArray &name)
{
    static constexpr char Letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = QByteArray(FileName) + '.';
        for (int i = 0; i < 6; ++i)
            name += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))];
        Descriptor fd(::openat(dir, name.constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd.get() >= 0 || errno != EEXIST)
            return fd;
    }
    return Descriptor();
}

// Puts `text` in the place of `name` in `dir` by way of a temporary file that replaces it only
// once it is complete and on the disk. `old` is the file now there, if any: the new one keeps
// its owner and its mode. Without a temporary file (a folder that takes no new files) nothing
// happens and `*created` is false.
bool replaceFile(int dir, const QByteArray &name, const struct stat *old, const QByteArray &text,
                 FileFailure *why, bool *created)
{
    QByteArray temporary;
    Descriptor fd = createTemporary(dir, temporary);
    *created = fd.get() >= 0;
    if (!*created)
        return failed(why, errno);
    if (old) {
        // Only root may give a file to another user; anyone else saves it as their own.
        if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
            const int given = ::fchown(fd.get(), old->st_uid, old->st_gid);
            Q_UNUSED(given);
        }
        ::fchmod(fd.get(), old->st_mode & 07777);
    }
    const bool written = writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    const int error = errno;
    if (::close(fd.release()) != 0 || !written ||
        ::renameat(dir, temporary.constData(), dir, name.constData()) != 0) {
        const int reason = written ? errno : error;
        ::unlinkat(dir, temporary.constData(), 0);
        return failed(why, reason);
    }
    return true;
}

} // namespace

bool SaveSettings(const Define &define, FileFailure *why, const QDateTime &stamp)
{
    const int dir = define.startDir.fd();
    if (dir == -1) {
        if (why)
            *why = {FileFailure::StartDirClosed, systemReason(define.startDir.errorNumber()),
                    define.startDir.path()};
        return false;
    }
    struct stat old;
    const bool exists = ::fstatat(dir, FileName, &old, 0) == 0;
    if (!exists && errno != ENOENT)
        return failed(why, errno);
    if (exists && !S_ISREG(old.st_mode))
        return failed(why, FileFailure::LeftAlone);
    // A file its user may not write is not replaced either.
    if (exists && ::faccessat(dir, FileName, W_OK, AT_EACCESS) != 0)
        return failed(why, errno);
    const QByteArray text = encodeSettings(define, stamp);

    // A link in the file's place stays a link: the file it leads to is replaced beside itself.
    Descriptor linkedDir;
    int into = dir;
    QByteArray name = FileName;
    struct stat entry;
    if (exists && ::fstatat(dir, FileName, &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(entry.st_mode)) {
        const QByteArray link =
            dir == AT_FDCWD ? name : "/proc/self/fd/" + QByteArray::number(dir) + '/' + FileName;
        char target[PATH_MAX];
        if (!::realpath(link.constData(), target))
            return rewriteInPlace(dir, text, why);
        const QByteArray path(target);
        const qsizetype slash = path.lastIndexOf('/');
        linkedDir = Descriptor(::open(slash <= 0 ? "/" : path.left(slash).constData(),
                                      O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (linkedDir.get() < 0)
            return rewriteInPlace(dir, text, why);
        into = linkedDir.get();
        name = path.mid(slash + 1);
    }
    bool created = false;
    const bool saved = replaceFile(into, name, exists ? &old : nullptr, text, why, &created);
    // A folder that takes no new files: the file is written over where it is.
    if (!created && exists)
        return rewriteInPlace(dir, text, why);
    return saved;
}
