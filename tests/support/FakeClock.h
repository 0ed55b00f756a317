#pragma once

#include "Clock.h"

#include <functional>
#include <map>
#include <vector>

// Virtual time: waits return at once with the time moved on, and on the way they run the
// actions and timer ticks that fall due, in time order. Waits started by such an action nest
// like the real ones.
class FakeClock : public Clock
{
public:
    ~FakeClock() override;

    double now() const override { return m_now; }
    void waitProcessingEvents(double deadline) override;
    void nap(double seconds) override
    {
        m_now += seconds;
        napped += seconds;
    }
    void interruptWaits() override { ++m_interruptions; }
    std::unique_ptr<ClockTimer> makeTimer() override;

    // Runs `action` when `seconds` of virtual time have passed, inside a wait (or advance()).
    void scheduleIn(double seconds, std::function<void()> action)
    {
        m_actions.emplace(m_now + seconds, std::move(action));
    }
    // Lets `seconds` of virtual time pass, as the idle event loop would.
    void advance(double seconds) { waitProcessingEvents(m_now + seconds); }

    std::vector<double> waitDeadlines; // of every waitProcessingEvents call
    double napped = 0;

    class Timer;

private:
    double m_now = 1000.0; // arbitrary: nothing may rely on time starting at zero
    quint64 m_interruptions = 0;
    std::multimap<double, std::function<void()>> m_actions;
    std::vector<Timer *> m_timers;
};
