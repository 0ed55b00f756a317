#include "FakePort.h"

void FakePort::setPortOpen(bool open)
{
    if (open == m_open)
        return;
    if (open && refuseOpen) {
        events << QStringLiteral("refused");
        throw PortError({.kind = PortFailure::OpenFailed, .system = *refuseOpen});
    }
    m_open = open;
    events << (open ? QStringLiteral("open %1 COM%2").arg(m_settings.toString()).arg(m_commPort)
                    : QStringLiteral("close"));
}

bool FakePort::output(quint8 byte)
{
    if (!m_open || vanishAfterBytes == 0) {
        m_open = false;
        return false;
    }
    --vanishAfterBytes;
    bytes.push_back({char(byte), m_settings, rts});
    if (afterByte)
        afterByte();
    return true;
}
