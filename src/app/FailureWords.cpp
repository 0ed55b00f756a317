#include "FailureWords.h"

#include "StartDir.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

namespace {

QString closedStartDir(const QString &path, const QString &reason)
{
    return QStringLiteral("the start-up directory %1 cannot be opened: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

// A word for a shell command line, quoted only when it needs to be.
QString shellWord(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+=,-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return QLatin1Char('\'') + QString(word).replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

// Who is in the way, after "DEVICE is busy: ".
QString lockWords(const PortLockHolder &lock)
{
    switch (lock.kind) {
    case PortLockHolder::Lives:
        return QStringLiteral("%1 (PID %2) holds it (lock file %3)")
            .arg(lock.program.isEmpty() ? QStringLiteral("a program") : lock.program,
                 QString::number(lock.pid), lock.file);
    case PortLockHolder::Unreadable:
        return QStringLiteral("the lock file %1 cannot be read (%2), so its holder may live")
            .arg(lock.file, systemReason(lock.error));
    case PortLockHolder::Anonymous:
        return QStringLiteral("the lock file %1 does not say who holds it").arg(lock.file);
    case PortLockHolder::JustLocked:
        return QStringLiteral("another program has just locked it (lock file %1)").arg(lock.file);
    case PortLockHolder::Stuck:
        return QStringLiteral("the lock file %1 is left from PID %2, which has ended, but cannot "
                              "be removed: %3")
            .arg(lock.file, QString::number(lock.pid), systemReason(lock.error));
    case PortLockHolder::Free:
        break;
    }
    return {};
}

// The reason without its advice, and the advice that goes last.
std::pair<QString, QString> causeAndAdvice(const PortFailure &f)
{
    const QString &path = f.device;
    switch (f.kind) {
    case PortFailure::NoDevice:
        return {describeComEntry(f.entry), {}};
    case PortFailure::Locked:
        return {QStringLiteral("%1 is busy: %2").arg(path, lockWords(f.lock)), {}};
    case PortFailure::PermissionDenied:
        return {QStringLiteral("%1: permission denied.").arg(path),
                QStringLiteral("Add your user to the dialout group and log in again.")};
    case PortFailure::NotFound:
        return {QStringLiteral("%1 does not exist").arg(path), {}};
    case PortFailure::Busy:
        return {QStringLiteral("%1 is busy: another program holds it").arg(path), {}};
    case PortFailure::SettingsRefused:
        return {
            QStringLiteral("%1 refuses the settings %2: %3").arg(path, f.line.toString(), f.system),
            {}};
    case PortFailure::WentAway:
        return {QStringLiteral("%1 went away while opening").arg(path), {}};
    case PortFailure::InvalidSettings:
        return {QStringLiteral("Invalid port settings \"%1\"").arg(f.line.toString()), {}};
    case PortFailure::OpenFailed:
        break;
    }
    return {path.isEmpty() ? f.system : QStringLiteral("%1: %2").arg(path, f.system), {}};
}

} // namespace

QString comEntryWhat(const ComEntry &e)
{
    if (e.kind == ComEntry::NotADevice) {
        switch (e.fileType) {
        case ComEntry::PlainFile:
            return QStringLiteral("a plain file");
        case ComEntry::Directory:
            return QStringLiteral("a directory");
        case ComEntry::NamedPipe:
            return QStringLiteral("a named pipe");
        case ComEntry::Socket:
            return QStringLiteral("a socket");
        case ComEntry::BlockDevice:
            break;
        }
        return QStringLiteral("a block device");
    }
    if (e.kind != ComEntry::Unreachable)
        return {};
    if (!e.closedStartDir.isEmpty())
        return closedStartDir(e.closedStartDir, systemReason(e.error));
    return e.error == 0 ? QStringLiteral("the path of the device it leads to cannot be read")
                        : systemReason(e.error);
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
        return QStringLiteral("%1 is %2, not a serial device").arg(place, comEntryWhat(e));
    case ComEntry::Unreachable:
        return QStringLiteral("%1 cannot be looked up: %2").arg(place, comEntryWhat(e));
    }
    return place;
}

QString portFailureReason(const PortFailure &failure)
{
    const auto [cause, advice] = causeAndAdvice(failure);
    return advice.isEmpty() ? cause : cause + QLatin1Char(' ') + advice;
}

QString adapterHints(int port, const QString &appDir, const QList<SerialAdapter> &adapters)
{
#ifdef Q_OS_WIN
    return {}; // COM numbers are the system's own names there
#endif
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

QString portErrorDetails(int port, const QString &appDir, const PortFailure &failure,
                         const QList<SerialAdapter> &adapters)
{
    auto [cause, advice] = causeAndAdvice(failure);
    QStringList parts;
    if (failure.builtIn) {
        // The entry's sentence would say again that there is no entry.
        if (failure.kind == PortFailure::NoDevice && failure.entry.kind == ComEntry::Missing)
            cause = QStringLiteral("%1 does not exist").arg(failure.entry.entry);
        parts << QStringLiteral("There is no %1 entry in %2, so the built-in port was tried: %3")
                     .arg(comName(port), QDir::toNativeSeparators(appDir), cause);
    } else {
        parts << cause;
    }
    const QString hints = adapterHints(port, appDir, adapters);
    if (!hints.isEmpty())
        parts << hints;
    if (!advice.isEmpty())
        parts << advice;
    return parts.join(QStringLiteral("\n\n"));
}

QString settingsFailureWords(const FileFailure &failure)
{
    switch (failure.kind) {
    case FileFailure::Missing:
        return QStringLiteral("there is no such file");
    case FileFailure::NotRegular:
        return QStringLiteral("it is not a regular file");
    case FileFailure::LeftAlone:
        return QStringLiteral("it is not a regular file, so it is left alone");
    case FileFailure::NotSettings:
        return QStringLiteral("it is not a PoleSet settings file (its first line does not begin "
                              "with PoleSet)");
    case FileFailure::StartDirClosed:
        return closedStartDir(failure.startDir, failure.system);
    case FileFailure::System:
    case FileFailure::None:
        break;
    }
    return failure.system;
}
