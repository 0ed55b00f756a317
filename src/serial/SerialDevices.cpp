#include "SerialDevices.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString comName(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

QString builtInPort(int port, const QString &root)
{
    return port >= 1 ? QDir(root).filePath(QStringLiteral("dev/ttyS%1").arg(port - 1)) : QString();
}

#ifndef Q_OS_WIN
QString kindOfFile(mode_t mode)
{
    if (S_ISREG(mode))
        return QStringLiteral("a plain file");
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a block device");
}

QString readLink(const QString &path)
{
    QByteArray target(4096, '\0');
    const ssize_t size =
        ::readlink(QFile::encodeName(path).constData(), target.data(), size_t(target.size()));
    return size < 0 ? QString() : QFile::decodeName(target.left(size));
}
#endif

// A word for a shell command line, quoted only when it needs to be.
QString shellWord(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+=,-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return QLatin1Char('\'') + QString(word).replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

QStringList entriesIn(const QString &dir, const QStringList &patterns)
{
    QDir d(dir);
    d.setSorting(QDir::Name);
    return d.entryList(patterns, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

namespace {

// Finds out what the entry (set in `e`) leads to.
ComEntry &classify(ComEntry &e)
{
#ifndef Q_OS_WIN
    struct stat st;
    if (!e.builtIn && ::lstat(QFile::encodeName(e.entry).constData(), &st) == 0 &&
        S_ISLNK(st.st_mode))
        e.linkTarget = readLink(e.entry);
    e.device = e.entry;
    if (e.entry.isEmpty() || ::stat(QFile::encodeName(e.entry).constData(), &st) != 0) {
        e.kind = !e.entry.isEmpty() && errno == ELOOP ? ComEntry::Loop : ComEntry::Missing;
        return e;
    }
    if (!S_ISCHR(st.st_mode)) {
        e.kind = ComEntry::NotADevice;
        e.what = kindOfFile(st.st_mode);
        return e;
    }
    // The final target, so that the lock file names the device itself.
    const QString canonical = QFileInfo(e.entry).canonicalFilePath();
    if (!canonical.isEmpty())
        e.device = canonical;
#endif
    e.kind = ComEntry::Device;
    return e;
}

} // namespace

ComEntry inspectComEntry(int port, const QString &appDir, const QString &root)
{
    ComEntry e;
    e.port = port;
#ifdef Q_OS_WIN
    Q_UNUSED(appDir);
    Q_UNUSED(root);
    e.entry = comName(port);
#else
    e.entry = QDir(appDir).filePath(comName(port));
    if (!QFileInfo(e.entry).isSymLink() && !QFileInfo::exists(e.entry)) {
        e.builtIn = true;
        e.entry = builtInPort(port, root);
    }
#endif
    return classify(e);
}

ComEntry inspectDevice(const QString &path)
{
    ComEntry e;
    e.entry = path;
    return classify(e);
}

ChosenPort chooseComPort(int port, const QString &appDir, const QString &root)
{
    const ComEntry entry = inspectComEntry(port, appDir, root);
    return {port, entry.builtIn, entry.entry};
}

ComEntry inspectChosenPort(const ChosenPort &chosen)
{
    ComEntry e;
    e.port = chosen.port;
    e.builtIn = chosen.builtIn;
    e.entry = chosen.path;
    return classify(e);
}

bool chosenPortAvailable(const ChosenPort &chosen, const QString &openedBefore)
{
#ifdef Q_OS_WIN
    Q_UNUSED(chosen);
    Q_UNUSED(openedBefore);
    return true;
#else
    // The built-in ports are never opened on their own unless they were open before.
    if (chosen.path.isEmpty() || (chosen.builtIn && chosen.path != openedBefore))
        return false;
    struct stat st;
    return ::stat(QFile::encodeName(chosen.path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
#endif
}

QString describeComEntry(const ComEntry &e)
{
    const QString name = e.port > 0 ? comName(e.port) : e.entry;
    QString place;
    if (e.builtIn)
        place = QStringLiteral("%1: no %1 entry here, so the built-in port %2").arg(name, e.entry);
    else if (!e.linkTarget.isEmpty())
        place = QStringLiteral("%1 \u2192 %2").arg(name, e.linkTarget);
    else
        place = e.entry;
    switch (e.kind) {
    case ComEntry::Device:
        if (!e.builtIn && !e.linkTarget.isEmpty() && e.device != e.linkTarget)
            place += QStringLiteral(" \u2192 %1").arg(e.device);
        return place + QStringLiteral(", present");
    case ComEntry::Missing:
        return place + QStringLiteral(", which does not exist");
    case ComEntry::Loop:
        return QStringLiteral("%1 is a symbolic link that loops").arg(place);
    case ComEntry::NotADevice:
        return QStringLiteral("%1 is %2, not a serial device").arg(place, e.what);
    }
    return place;
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

QString adapterHints(int port, const QString &appDir, const QString &root)
{
#ifdef Q_OS_WIN
    return {}; // COM numbers are the system's own names there
#endif
    const QList<SerialAdapter> adapters = findSerialAdapters(root);
    if (adapters.isEmpty())
        return QStringLiteral("No serial adapter found: nothing in /dev/serial/by-id, no "
                              "/dev/ttyUSB* or /dev/ttyACM*.");
    QStringList lines{QStringLiteral("Serial adapters on this machine:")};
    for (const SerialAdapter &adapter : adapters) {
        lines << (adapter.name == adapter.device
                      ? QStringLiteral("  %1").arg(adapter.name)
                      : QStringLiteral("  %1 \u2192 %2").arg(adapter.name, adapter.device));
    }
    lines << QStringLiteral("To make %1 the first of them, run in %2:")
                 .arg(comName(port), QDir::toNativeSeparators(appDir))
          << QStringLiteral("  ln -sfn %1 %2").arg(shellWord(adapters.front().name), comName(port));
    return lines.join(QLatin1Char('\n'));
}

QString portErrorDetails(int port, const QString &appDir, bool builtIn, const QString &reason,
                         const QString &advice, const QString &root)
{
    QStringList parts;
    if (builtIn)
        parts << QStringLiteral("There is no %1 entry in %2, so the built-in port was tried: %3")
                     .arg(comName(port), QDir::toNativeSeparators(appDir), reason);
    else
        parts << reason;
    const QString hints = adapterHints(port, appDir, root);
    if (!hints.isEmpty())
        parts << hints;
    if (!advice.isEmpty())
        parts << advice;
    return parts.join(QStringLiteral("\n\n"));
}
