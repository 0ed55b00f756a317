#include "StartDir.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

void Descriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

// O_PATH: the directory is only a place to look things up from, so it need not be readable.
struct StartDir::Handle
{
    Descriptor fd;
    int error = 0;
    QString path;

    Handle(const QByteArray &name, QString shown)
        : fd(::open(name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))
        , error(fd.get() < 0 ? errno : 0)
        , path(std::move(shown))
    {}
};

StartDir::StartDir(const QString &path)
    : m_handle(std::make_shared<const Handle>(QFile::encodeName(path), path))
{}

StartDir StartDir::current()
{
    StartDir dir;
    dir.m_handle = std::make_shared<const Handle>(".", QDir::currentPath());
    return dir;
}

int StartDir::fd() const
{
    return m_handle ? m_handle->fd.get() : AT_FDCWD;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int StartDir::errorNumber() const
{
    return m_handle && m_handle->fd.get() < 0 ? m_handle->error : 0;
}

QString StartDir::path() const
{
    return m_handle ? m_handle->path : QDir::currentPath();
}
