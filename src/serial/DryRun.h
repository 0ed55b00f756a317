#pragma once

#include "Clock.h"
#include "PortAdapter.h"

// A port and a clock for a dry run: the road of a Send is walked as it would be, but every byte
// leaves at once, no wait takes time and no device is touched. What goes out is seen through the
// link's sending hook.
class DryRunPort : public PortAdapter
{
public:
    void setCommPort(int port) override { m_commPort = port; }
    int commPort() const override { return m_commPort; }
    void chooseDevice() override {}
    void setSettings(const LineSettings &line) override { m_line = line; }
    LineSettings settings() const override { return m_line; }
    void setPortOpen(bool open) override { m_open = open; }
    bool portOpen() const override { return m_open; }
    bool deviceAvailable() override { return true; }
    bool dsrHolding() override { return m_open; }
    void setDtrEnable(bool) override {}
    void setRtsEnable(bool) override {}
    void clearInBuffer() override {}
    void clearOutBuffer() override {}
    int outBufferCount() override { return 0; }
    bool output(quint8) override { return m_open; }

private:
    int m_commPort = 1;
    LineSettings m_line;
    bool m_open = false;
};

class InstantClock : public Clock
{
public:
    double now() const override { return m_now; }
    void waitProcessingEvents(double deadline) override { m_now = std::max(m_now, deadline); }
    void nap(double seconds) override { m_now += seconds; }
    void interruptWaits() override {}
    // Nothing ticks in a dry run.
    std::unique_ptr<ClockTimer> makeTimer() override { return nullptr; }

private:
    double m_now = 0;
};
