#include "PseudoTerminal.h"

#include <QMetaMethod>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <util.h>
#endif

namespace {

struct Speed
{
    speed_t code;
    int bps;
};

constexpr Speed Speeds[] = {{B50, 50},         {B75, 75},        {B110, 110},     {B134, 134},
                            {B150, 150},       {B200, 200},      {B300, 300},     {B600, 600},
                            {B1200, 1200},     {B1800, 1800},    {B2400, 2400},   {B4800, 4800},
                            {B9600, 9600},     {B19200, 19200},  {B38400, 38400}, {B57600, 57600},
                            {B115200, 115200}, {B230400, 230400}};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QObject(parent)
{}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
    if (m_slave >= 0)
        ::close(m_slave);
}

void PseudoTerminal::hangUp()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

QByteArray PseudoTerminal::readAvailable(int waitMs, QString *error)
{
    QByteArray bytes;
    char buffer[4096];
    for (pollfd ready{m_master, POLLIN, 0}; m_master >= 0;) {
        if (waitMs > 0 && ::poll(&ready, 1, waitMs) <= 0)
            break;
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, got);
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            if (error)
                *error =
                    got == 0
                        ? QStringLiteral("the line was closed")
                        : QStringLiteral("reading the line failed: %1").arg(systemError(errno));
            break;
        } else if (errno != EINTR) {
            break;
        }
    }
    return bytes;
}

bool PseudoTerminal::open(QString *error)
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(systemError(errno));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    // Bytes pass unchanged (no echo, no CR/LF translation) until PoleSet sets its own.
    termios tio{};
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }

    return true;
}

void PseudoTerminal::connectNotify(const QMetaMethod &signal)
{
    // The master is read as bytes arrive only once someone listens for them; until then they
    // wait for readAvailable().
    if (signal == QMetaMethod::fromSignal(&PseudoTerminal::received) && !m_notifier &&
        m_master >= 0) {
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    }
}

int PseudoTerminal::lineSpeed() const
{
    termios tio{};
    // On Linux the master reports the slave's settings too; the slave is asked to be sure.
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0)
        return 0;
    const speed_t code = ::cfgetospeed(&tio);
    for (const Speed &speed : Speeds) {
        if (speed.code == code)
            return speed.bps;
    }
    return 0;
}

bool PseudoTerminal::farEndOpen() const
{
    int exclusive = 0;
#ifdef TIOCGEXCL
    if (m_slave >= 0 && ::ioctl(m_slave, TIOCGEXCL, &exclusive) != 0)
        exclusive = 0;
#endif
    return exclusive != 0;
}

void PseudoTerminal::readMaster()
{
    QString error;
    const QByteArray bytes = readAvailable(0, &error);
    if (!error.isEmpty()) {
        // Cannot happen while the slave is held open; stop reading rather than spin on it.
        m_notifier->setEnabled(false);
        emit failed(error);
    }
    if (!bytes.isEmpty())
        emit received(bytes);
}

// The meta-object code compiled here rather than in a file of its own, where Qt's headers
// would be read once more.
#include "moc_PseudoTerminal.cpp" // NOLINT(bugprone-suspicious-include)
