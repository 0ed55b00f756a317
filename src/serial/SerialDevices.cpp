#include "SerialDevices.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString comName(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

namespace {

QString builtInPort(int port, const QString &root)
{
    return port >= 1 ? QDir(root).filePath(QStringLiteral("dev/ttyS%1").arg(port - 1)) : QString();
}

ComEntry::FileType kindOfFile(mode_t mode)
{
    if (S_ISREG(mode))
        return ComEntry::PlainFile;
    if (S_ISDIR(mode))
        return ComEntry::Directory;
    if (S_ISFIFO(mode))
        return ComEntry::NamedPipe;
    if (S_ISSOCK(mode))
        return ComEntry::Socket;
    return ComEntry::BlockDevice;
}

QString readLinkAt(int dir, const QByteArray &name)
{
    QByteArray target(4096, '\0');
    const ssize_t size = ::readlinkat(dir, name.constData(), target.data(), size_t(target.size()));
    return size < 0 ? QString() : QFile::decodeName(target.left(size));
}

QStringList entriesIn(const QString &dir, const QStringList &patterns)
{
    QDir d(dir);
    d.setSorting(QDir::Name);
    return d.entryList(patterns, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

namespace {

ComEntry &unreachable(ComEntry &e, int error)
{
    e.kind = ComEntry::Unreachable;
    e.error = error;
    return e;
}

// Finds out what `name` in `dir` leads to (`e.entry` is its path for texts). O_PATH follows the
// links without opening what they lead to, and nothing on the way is looked up by a path that
// passes through the start-up directory's name or its parents.
ComEntry &classify(ComEntry &e, int dir, const QByteArray &name)
{
    struct stat st;
    if (!e.builtIn && ::fstatat(dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode))
        e.linkTarget = readLinkAt(dir, name);
    e.device = e.entry;
    const Descriptor fd(::openat(dir, name.constData(), O_PATH | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        if (errno != ENOENT && errno != ELOOP)
            return unreachable(e, errno);
        e.kind = errno == ELOOP ? ComEntry::Loop : ComEntry::Missing;
        return e;
    }
    if (!S_ISCHR(st.st_mode)) {
        e.kind = ComEntry::NotADevice;
        e.fileType = kindOfFile(st.st_mode);
        return e;
    }
    // The device's own path, as the kernel found it, so that the lock file names the device.
    e.device = readLinkAt(AT_FDCWD, "/proc/self/fd/" + QByteArray::number(fd.get()));
    if (e.device.isEmpty())
        return unreachable(e, 0);
    e.kind = ComEntry::Device;
    return e;
}

// The COMn entry in `dir`, whatever its state.
ComEntry &classifyEntry(ComEntry &e, const StartDir &dir)
{
    if (dir.fd() == -1) {
        e.closedStartDir = dir.path();
        return unreachable(e, dir.errorNumber());
    }
    return classify(e, dir.fd(), comName(e.port).toLatin1());
}

} // namespace

ComEntry inspectComEntry(int port, const StartDir &dir, const QString &root)
{
    ComEntry e;
    e.port = port;
    e.entry = QDir(dir.path()).filePath(comName(port));
    struct stat st;
    if (dir.fd() == -1 ||
        ::fstatat(dir.fd(), comName(port).toLatin1().constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return classifyEntry(e, dir);
    if (errno != ENOENT)
        return unreachable(e, errno);
    e.builtIn = true;
    e.entry = builtInPort(port, root);
    return classify(e, AT_FDCWD, QFile::encodeName(e.entry));
}

ComEntry inspectDevice(const QString &path)
{
    ComEntry e;
    e.entry = path;
    return classify(e, AT_FDCWD, QFile::encodeName(path));
}

ChosenPort chooseComPort(int port, const StartDir &dir, const QString &root)
{
    const ComEntry entry = inspectComEntry(port, dir, root);
    return {port, entry.builtIn, entry.entry, dir};
}

ComEntry inspectChosenPort(const ChosenPort &chosen)
{
    ComEntry e;
    e.port = chosen.port;
    e.builtIn = chosen.builtIn;
    e.entry = chosen.path;
    if (chosen.builtIn)
        return classify(e, AT_FDCWD, QFile::encodeName(chosen.path));
    return classifyEntry(e, chosen.dir);
}

bool chosenPortAvailable(const ChosenPort &chosen, const QString &openedBefore)
{
    // The built-in ports are never opened on their own unless they were open before.
    if (chosen.path.isEmpty() || (chosen.builtIn && chosen.path != openedBefore))
        return false;
    return inspectChosenPort(chosen).kind == ComEntry::Device;
}

QList<SerialAdapter> findSerialAdapters(const QString &root)
{
    QList<SerialAdapter> found;
    const QString byId = QDir(root).filePath(QStringLiteral("dev/serial/by-id"));
    for (const QString &name : entriesIn(byId, {})) {
        const QString link = QDir(byId).filePath(name);
        const QString device = QFileInfo(link).canonicalFilePath();
        if (!device.isEmpty()) // a link left behind by a device that has gone
            found.append({link, device});
    }
    if (!found.isEmpty())
        return found;
    const QString dev = QDir(root).filePath(QStringLiteral("dev"));
    QStringList devices = entriesIn(dev, {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")});
    // ttyUSB2 before ttyUSB10.
    std::stable_sort(devices.begin(), devices.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() && a.left(6) == b.left(6) ? a.size() < b.size() : a < b;
    });
    for (const QString &name : devices)
        found.append({QDir(dev).filePath(name), QDir(dev).filePath(name)});
    return found;
}
