#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

// A periodic timer made by a Clock, so that tests can tick it in virtual time.
class ClockTimer
{
public:
    virtual ~ClockTimer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    // Enabling (re)starts the period; a zero interval never ticks.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setCallback(std::function<void()> onTick) = 0;
};

// The time base of the link's waits. The real clock is monotonic, so midnight or a change of
// the wall clock is no event; the fake one advances virtual time at once.
class Clock
{
public:
    virtual ~Clock() = default;
    // Seconds on a monotonic scale, with a fraction.
    virtual double now() const = 0;
    // Waits until now() reaches `deadline`, letting the window process its events meanwhile.
    virtual void waitProcessingEvents(double deadline) = 0;
    // A short pause that does not process events: the drain wait naps instead of spinning.
    virtual void nap(double seconds) = 0;
    // Ends every wait now in progress at once (the window is going away).
    virtual void interruptWaits() = 0;
    virtual std::unique_ptr<ClockTimer> makeTimer() = 0;
};

// The real clock: a monotonic timer, waits in a QEventLoop, naps in the kernel.
class SystemClock : public Clock
{
public:
    double now() const override;
    void waitProcessingEvents(double deadline) override;
    void nap(double seconds) override;
    void interruptWaits() override;
    std::unique_ptr<ClockTimer> makeTimer() override;

private:
    quint64 m_interruptions = 0;
    std::vector<class QEventLoop *> m_loops; // the waits in progress, innermost last
};
