#include "SerialLink.h"

#include "Clock.h"
#include "PortAdapter.h"

Q_LOGGING_CATEGORY(lcSerial, "poleset.serial", QtWarningMsg)

namespace {

// Short enough to add little to a byte's wire time, long enough not to spin a core.
constexpr double DrainNapSeconds = 0.00025;

} // namespace

QString hexText(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

QByteArray SetupFrame(QByteArrayView payload)
{
    return "\x0c\x02\x05" + payload.toByteArray() + '\x03';
}

SerialLink::SerialLink(PortAdapter &port, Clock &clock)
    : m_port(port)
    , m_clock(clock)
{}

void SerialLink::OpenPort(int comPort, const LineSettings &line)
{
    open(comPort, line, false);
}

void SerialLink::ChooseAndOpenPort(int comPort, const LineSettings &line)
{
    open(comPort, line, true);
}

void SerialLink::open(int comPort, const LineSettings &line, bool choose)
{
    m_port.setSettings(line);
    m_port.setCommPort(comPort);
    if (choose)
        m_port.chooseDevice();
    ReopenPort();
}

void SerialLink::ReopenPort()
{
    const QString what =
        QStringLiteral("open COM%1 at %2").arg(m_port.commPort()).arg(m_port.settings().toString());
    try {
        m_port.setPortOpen(true);
    } catch (const PortError &error) {
        const PortFailure &f = error.failure();
        qCDebug(lcSerial).noquote().nospace()
            << what << " failed: " << error.device() << " kind " << f.kind << " entry "
            << f.entry.kind << " errno " << f.entry.error << " lock " << f.lock.kind << ' '
            << f.lock.pid << ' ' << f.system;
        throw;
    }
    qCDebug(lcSerial).noquote() << what;
    m_port.clearInBuffer();
    m_port.clearOutBuffer();
}

void SerialLink::FollowLine(int comPort, const LineSettings &line)
{
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
        qCDebug(lcSerial, "close COM%d to follow the display", comPort);
    }
    qCDebug(lcSerial, "re-open COM%d at %s", comPort, qPrintable(line.toString()));
    OpenPort(comPort, line);
}

void SerialLink::ClosePort()
{
    m_port.setRtsEnable(false);
    m_port.setDtrEnable(false);
    m_port.clearInBuffer();
    m_port.clearOutBuffer();
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
        qCDebug(lcSerial, "close COM%d", m_port.commPort());
    }
}

bool SerialLink::portOpen() const
{
    return m_port.portOpen();
}

bool SerialLink::SendData(const QByteArray &payload, bool raw)
{
    m_lastTextWhole = false;
    if (m_aborted)
        return false;
    const QByteArray bytes = raw ? payload : SetupFrame(payload);
    if (m_sending)
        m_sending(payload, raw);

    // A closed port (a failed re-open, a vanished adapter) takes nothing: the frame failed.
    bool result = m_port.portOpen();
    qsizetype sent = 0;
    if (result) {
        for (const char byte : bytes) {
            if (m_aborted || !m_port.output(static_cast<quint8>(byte))) {
                result = false;
                break;
            }
            const double deadline = m_clock.now() + DrainLimitSeconds;
            while (m_clock.now() < deadline && m_port.outBufferCount() != 0)
                m_clock.nap(DrainNapSeconds);
            if (m_port.outBufferCount() != 0) {
                result = false;
                break;
            }
            ++sent;
        }
    }
    m_lastTextWhole = result && !m_aborted;
    if (m_lastTextWhole)
        qCDebug(lcSerial).noquote() << "frame" << hexText(bytes) << "sent";
    else
        qCDebug(lcSerial).noquote() << "frame" << hexText(bytes) << "failed after" << sent << "of"
                                    << bytes.size() << "bytes:"
                                    << (m_aborted           ? "the window closed"
                                        : m_port.portOpen() ? "a byte did not drain in time"
                                                            : "the port is closed or gone");
    WaitMs(SettleMs);
    return result && !m_aborted;
}

void SerialLink::WaitMs(int ms)
{
    if (m_aborted)
        return;
    m_clock.waitProcessingEvents(m_clock.now() + ms / 1000.0);
}

void SerialLink::abort()
{
    m_aborted = true;
    m_clock.interruptWaits();
}
