#pragma once

#include "PortAdapter.h"

#include <QStringList>

#include <optional>
#include <vector>

class Clock;

// A port that records everything done to it. It can hold DSR on or off, stall its output
// queue, refuse to open, or vanish after a number of bytes.
class FakePort : public PortAdapter
{
public:
    explicit FakePort(const Clock *clock = nullptr)
        : m_clock(clock)
    {}

    struct Byte
    {
        quint8 value;
        double time;      // virtual time of the write
        QString settings; // settings in force when it was written
        int port;
        bool rts;
        bool dtr;
    };

    // PortAdapter
    void setCommPort(int port) override;
    int commPort() const override { return m_commPort; }
    void setSettings(const QString &settings) override;
    QString settings() const override { return m_settings; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_open; }
    bool deviceAvailable() override
    {
        ++availabilityChecks;
        return present;
    }
    bool dsrHolding() override { return m_open && dsr; }
    void setDtrEnable(bool enable) override;
    void setRtsEnable(bool enable) override;
    void clearInBuffer() override;
    void clearOutBuffer() override;
    int outBufferCount() override;
    bool output(quint8 byte) override;

    // Knobs.
    bool dsr = true;
    bool stalled = false;              // the output queue never empties
    std::optional<QString> refuseOpen; // the reason the next opens fail with
    int vanishAfterBytes = -1;         // the port disappears after this many more bytes
    bool present = true;               // what deviceAvailable() answers

    // What happened.
    std::vector<Byte> bytes;
    QStringList
        events; // "open 9600,N,8,1 COM1", "close", "rts 0", "dtr 0", "clear in", "clear out"
    bool rts = true;
    bool dtr = true;
    int availabilityChecks = 0;

    QByteArray written() const;
    void forget()
    {
        bytes.clear();
        events.clear();
    }

private:
    const Clock *m_clock;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    int m_pending = 0;
};
