#include "PortLock.h"

#include "StartDir.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The holder's PID, or 0 when the text names none.
qint64 holderOf(QByteArrayView text)
{
    // Ten columns or Qt's first line: blanks, digits, blanks, then the end of the line.
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const qsizetype digitsFrom = i;
    qint64 pid = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && pid <= INT_MAX)
        pid = pid * 10 + (text[i++] - '0');
    const bool digits = i > digitsFrom;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (digits && (i == text.size() || text[i] == '\n'))
        return pid <= INT_MAX ? pid : 0;
    // The binary form: an int as the machine stores it.
    if (text.size() == 4) {
        qint32 binary = 0;
        std::memcpy(&binary, text.data(), sizeof binary);
        return binary;
    }
    return 0;
}

QString programOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QByteArray name =
        comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
    return QString::fromLocal8Bit(name);
}

} // namespace

PortLockHolder clearPortLocks(const QString &device, const QString &root)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QByteArray file = "LCK.." + QFile::encodeName(name);
    for (const char *directory : {"run/lock", "var/lock"}) {
        const QString dirPath = QDir(root).filePath(QLatin1String(directory));
        const QString path = QDir(dirPath).filePath(QFile::decodeName(file));
        // A lock directory that is not there, or closed to this user, shows no lock.
        const Descriptor dir(
            ::open(QFile::encodeName(dirPath).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0)
            continue;
        // Anyone may put a file in the lock directory: a link or a FIFO there is no lock to
        // follow or wait on.
        const Descriptor fd(::openat(dir.get(), file.constData(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd.get() < 0 && errno == ENOENT)
            continue;
        if (fd.get() < 0)
            return {.kind = PortLockHolder::Unreadable, .file = path, .error = errno};
        char text[64];
        struct stat st;
        const ssize_t size = ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)
                                 ? ::read(fd.get(), text, sizeof text)
                                 : -1;
        const qint64 pid = size > 0 ? holderOf(QByteArrayView(text, size)) : 0;
        if (pid <= 0)
            return {.kind = PortLockHolder::Anonymous, .file = path};
        if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
            return {
                .kind = PortLockHolder::Lives, .file = path, .pid = pid, .program = programOf(pid)};
        // Its holder has ended: the lock is taken over, if it is still the file that was read.
        struct stat now;
        if (::fstatat(dir.get(), file.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            (now.st_ino != st.st_ino || now.st_dev != st.st_dev))
            return {.kind = PortLockHolder::JustLocked, .file = path};
        if (::unlinkat(dir.get(), file.constData(), 0) != 0 && errno != ENOENT)
            return {.kind = PortLockHolder::Stuck, .file = path, .pid = pid, .error = errno};
    }
    return {};
}
