#include "SerialLink.h"

#include "Clock.h"
#include "PortAdapter.h"
#include "Prompter.h"

namespace {

// Short enough to add little to a byte's wire time, long enough not to spin a core.
constexpr double DrainNapSeconds = 0.00025;

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return 0; // the program builds every hex text itself; a stray digit cannot occur
}

} // namespace

QString settingsString(const Define &define)
{
    const QChar parity = QStringLiteral("NEO").at(qBound(0, define.ComParity, 2));
    return QStringLiteral("%1,%2,%3,1").arg(define.ComBaud).arg(parity).arg(define.ComBitLen % 10);
}

QByteArray hexTextToBytes(QStringView hexText)
{
    QByteArray bytes;
    bytes.reserve(hexText.size() / 2);
    for (qsizetype i = 0; i + 1 < hexText.size(); i += 2)
        bytes.append(static_cast<char>(hexDigit(hexText[i]) * 16 + hexDigit(hexText[i + 1])));
    return bytes;
}

QString bytesToHexText(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

QString SetupFrame(const QString &payloadHex)
{
    return QStringLiteral("0C0205") + payloadHex + QStringLiteral("03");
}

SerialLink::SerialLink(Define &define, PortAdapter &port, Clock &clock, Prompter &prompter)
    : m_define(define)
    , m_port(port)
    , m_clock(clock)
    , m_prompter(prompter)
{}

void SerialLink::OpenPort()
{
    m_port.setSettings(settingsString(m_define));
    m_port.setCommPort(m_define.ComPort);
    ReopenPort();
}

void SerialLink::ChooseAndOpenPort()
{
    m_port.setSettings(settingsString(m_define));
    m_port.setCommPort(m_define.ComPort);
    m_port.chooseDevice();
    ReopenPort();
}

void SerialLink::ReopenPort()
{
    m_port.setPortOpen(true);
    m_port.clearInBuffer();
    m_port.clearOutBuffer();
}

void SerialLink::ClosePort()
{
    m_port.setRtsEnable(false);
    m_port.setDtrEnable(false);
    m_port.clearInBuffer();
    m_port.clearOutBuffer();
    if (m_port.portOpen())
        m_port.setPortOpen(false);
}

bool SerialLink::SendData(const QString &hexText, bool rawSend)
{
    m_lastTextWhole = false;
    if (m_aborted)
        return false;
    const QString text = rawSend ? hexText : SetupFrame(hexText);
    if (m_showStatus)
        m_showStatus(rawSend
                         ? hexText
                         : QStringLiteral("Send Data: STX 05 ") + hexText + QStringLiteral(" ETX"));

    // A closed port (a failed re-open, a vanished adapter) takes nothing: the text failed.
    bool result = m_port.portOpen();
    if (result) {
        const QByteArray bytes = hexTextToBytes(text);
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
        }
    }
    m_lastTextWhole = result && !m_aborted;
    WaitMs(SettleMs);
    return result && !m_aborted;
}

void SerialLink::WaitMs(int ms)
{
    if (m_aborted)
        return;
    m_clock.waitProcessingEvents(m_clock.now() + ms / 1000.0);
}

void SerialLink::ReportSendError()
{
    if (!m_aborted)
        m_prompter.warning(QStringLiteral("Send Error!!"),
                           QStringLiteral("Faulted to Data sending!!"));
}

void SerialLink::abort()
{
    m_aborted = true;
    m_clock.interruptWaits();
}
