#include "FakePort.h"

#include "Clock.h"

void FakePort::setCommPort(int port)
{
    m_commPort = port;
}

void FakePort::setSettings(const QString &settings)
{
    m_settings = settings;
}

void FakePort::setPortOpen(bool open)
{
    if (open == m_open)
        return;
    if (open && refuseOpen) {
        events << QStringLiteral("refused");
        throw PortError(QStringLiteral("COM%1").arg(m_commPort), *refuseOpen);
    }
    m_open = open;
    m_pending = 0;
    events << (open ? QStringLiteral("open %1 COM%2").arg(m_settings).arg(m_commPort)
                    : QStringLiteral("close"));
}

void FakePort::setDtrEnable(bool enable)
{
    dtr = enable;
    events << QStringLiteral("dtr %1").arg(int(enable));
}

void FakePort::setRtsEnable(bool enable)
{
    rts = enable;
    events << QStringLiteral("rts %1").arg(int(enable));
}

void FakePort::clearInBuffer()
{
    events << QStringLiteral("clear in");
}

void FakePort::clearOutBuffer()
{
    m_pending = 0;
    events << QStringLiteral("clear out");
}

int FakePort::outBufferCount()
{
    if (!m_open)
        return 0;
    if (!stalled)
        m_pending = 0;
    return m_pending;
}

bool FakePort::output(quint8 byte)
{
    if (!m_open)
        return false;
    if (vanishAfterBytes == 0) {
        m_open = false;
        events << QStringLiteral("vanished");
        return false;
    }
    if (vanishAfterBytes > 0)
        --vanishAfterBytes;
    bytes.push_back({byte, m_clock ? m_clock->now() : 0.0, m_settings, m_commPort, rts, dtr});
    ++m_pending;
    return true;
}

QByteArray FakePort::written() const
{
    QByteArray out;
    for (const Byte &b : bytes)
        out.append(static_cast<char>(b.value));
    return out;
}
