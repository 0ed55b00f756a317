#include "ComLink.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The target of a symbolic link as written in it; null when it is not a readable link.
QByteArray linkTarget(const QByteArray &path)
{
    QByteArray target(4096, '\0');
    const ssize_t size = ::readlink(path.constData(), target.data(), target.size());
    if (size < 0 || size >= target.size())
        return {};
    target.truncate(size);
    return target;
}

bool isDeadPtsLink(const QByteArray &path, const QByteArray &target)
{
    struct stat st;
    return target.startsWith("/dev/pts/") && ::stat(path.constData(), &st) != 0 && errno == ENOENT;
}

} // namespace

bool claimComLink(const QString &linkPath, const QString &target, QString *error)
{
    const QByteArray link = QFile::encodeName(linkPath);
    const QByteArray dest = QFile::encodeName(target);
    struct stat st;
    if (::lstat(link.constData(), &st) != 0) {
        if (errno != ENOENT) {
            *error = QStringLiteral("cannot look at %1: %2").arg(linkPath, reason(errno));
            return false;
        }
        // symlink() does not replace: an entry that appeared meanwhile is refused below.
        if (::symlink(dest.constData(), link.constData()) == 0)
            return true;
        *error = QStringLiteral("cannot create %1: %2").arg(linkPath, reason(errno));
        return false;
    }
    if (!S_ISLNK(st.st_mode)) {
        *error =
            QStringLiteral("%1 exists and is not a symbolic link; it is left alone").arg(linkPath);
        return false;
    }
    const QByteArray current = linkTarget(link);
    if (current == dest)
        return true;
    if (!isDeadPtsLink(link, current)) {
        *error = QStringLiteral("%1 already points to %2 (a real port, or another simulator "
                                "still running); it is left alone")
                     .arg(linkPath, QFile::decodeName(current));
        return false;
    }
    // Replace the dead link in one step: a new link under a private name renamed over it.
    const QByteArray temporary = link + ".new-" + QByteArray::number(qint64(::getpid()));
    ::unlink(temporary.constData());
    if (::symlink(dest.constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), link.constData()) != 0) {
        *error = QStringLiteral("cannot replace %1: %2").arg(linkPath, reason(errno));
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

bool releaseComLink(const QString &linkPath, const QString &target)
{
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st;
    if (::lstat(link.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return false;
    if (linkTarget(link) != QFile::encodeName(target))
        return false;
    return ::unlink(link.constData()) == 0;
}
