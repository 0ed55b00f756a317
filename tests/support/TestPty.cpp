#include "TestPty.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

TestPty::TestPty()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

TestPty::~TestPty()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool TestPty::linkAs(const QString &dir, int port) const
{
    const QString link = QDir(dir).filePath(QStringLiteral("COM%1").arg(port));
    QFile::remove(link);
    return QFile::link(m_slavePath, link);
}

QByteArray TestPty::readAvailable(int quietMs)
{
    QByteArray bytes;
    char buffer[4096];
    pollfd ready = {m_master, POLLIN, 0};
    while (m_master >= 0 && ::poll(&ready, 1, quietMs) > 0 && (ready.revents & POLLIN)) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}

bool TestPty::write(const QByteArray &bytes)
{
    return m_master >= 0 &&
           ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

int TestPty::speed() const
{
    termios settings = {};
    if (::tcgetattr(m_slave, &settings) != 0)
        return -1;
    switch (::cfgetospeed(&settings)) {
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    default:
        return 0;
    }
}

void TestPty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
