#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <iterator>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int Handled[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipe[2] = {-1, -1};
bool caught[std::size(Handled)] = {};
struct sigaction before[std::size(Handled)] = {};

void onSignal(int signal)
{
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte;
        if (::read(signalPipe[1], &byte, 1) > 0)
            emit received(byte);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored from the start (nohup, a background job) stays ignored.
    for (size_t i = 0; i < std::size(Handled); ++i) {
        caught[i] = sigaction(Handled[i], nullptr, &before[i]) == 0 &&
                    before[i].sa_handler != SIG_IGN && sigaction(Handled[i], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < std::size(Handled); ++i) {
        if (caught[i])
            sigaction(Handled[i], &before[i], nullptr);
        caught[i] = false;
    }
    delete m_notifier;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

#else

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{}
TerminationSignals::~TerminationSignals() = default;

#endif

QString TerminationSignals::name(int signal)
{
    switch (signal) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
#ifdef SIGHUP
    case SIGHUP:
        return QStringLiteral("SIGHUP");
#endif
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}
