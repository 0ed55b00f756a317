#pragma once

#include "PortAdapter.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// A port that records what is done to it. It can hold DSR off, stall its output queue, refuse to
// open, vanish after some bytes, or have no device to open.
class FakePort : public PortAdapter
{
public:
    struct Byte
    {
        char value;
        LineSettings settings; // in force when it was written
        bool rts;
    };

    void setCommPort(int port) override { m_commPort = port; }
    int commPort() const override { return m_commPort; }
    void chooseDevice() override { events << QStringLiteral("choose COM%1").arg(m_commPort); }
    void setSettings(const LineSettings &line) override { m_settings = line; }
    LineSettings settings() const override { return m_settings; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_open; }
    bool deviceAvailable() override
    {
        ++availabilityChecks;
        return present;
    }
    bool dsrHolding() override { return m_open && dsr; }
    void setDtrEnable(bool enable) override { events << QStringLiteral("dtr %1").arg(enable); }
    void setRtsEnable(bool enable) override
    {
        rts = enable;
        events << QStringLiteral("rts %1").arg(enable);
    }
    void clearInBuffer() override { events << QStringLiteral("clear in"); }
    void clearOutBuffer() override { events << QStringLiteral("clear out"); }
    int outBufferCount() override { return m_open && stalled ? 1 : 0; }
    bool output(quint8 byte) override;

    bool dsr = true;
    bool stalled = false;              // the output queue never empties
    std::optional<QString> refuseOpen; // the reason the next opens fail with
    int vanishAfterBytes = -1;         // the port disappears after this many more bytes
    bool present = true;               // what deviceAvailable() answers
    std::function<void()> afterByte;   // runs after each byte taken: a test's fault on cue

    // What happened: "open 9600,N,8,1 COM1", "refused", "close", "rts 0", "clear in", ...
    std::vector<Byte> bytes;
    QStringList events;
    bool rts = true;
    int availabilityChecks = 0;

    QByteArray written() const
    {
        QByteArray out;
        for (const Byte &b : bytes)
            out += b.value;
        return out;
    }
    void forget() { bytes.clear(), events.clear(); }

private:
    int m_commPort = 1;
    LineSettings m_settings;
    bool m_open = false;
};
