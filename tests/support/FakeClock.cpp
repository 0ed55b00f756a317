#include "FakeClock.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

class FakeClock::FakeClockTimer : public ClockTimer
{
public:
    explicit FakeClockTimer(FakeClock &clock)
        : m_clock(&clock)
    {
        clock.m_timers.push_back(this);
    }
    ~FakeClockTimer() override
    {
        if (m_clock)
            std::erase(m_clock->m_timers, this);
    }
    void setInterval(int ms) override
    {
        m_interval = ms;
        restart();
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        m_enabled = enabled;
        restart();
    }
    bool isEnabled() const override { return m_enabled && m_interval > 0; }
    void setCallback(std::function<void()> onTick) override { m_onTick = std::move(onTick); }

    double due() const { return isEnabled() ? m_next : std::numeric_limits<double>::infinity(); }
    void fire()
    {
        m_next += m_interval / 1000.0;
        if (m_onTick)
            m_onTick();
    }
    FakeClock *m_clock;

private:
    void restart()
    {
        if (m_clock)
            m_next = m_clock->m_now + m_interval / 1000.0;
    }
    int m_interval = 0;
    bool m_enabled = false;
    double m_next = 0;
    std::function<void()> m_onTick;
};

FakeClock::FakeClock() = default;

FakeClock::~FakeClock()
{
    for (FakeClockTimer *timer : m_timers)
        timer->m_clock = nullptr;
}

bool FakeClock::runNextDue(double deadline)
{
    double at = std::numeric_limits<double>::infinity();
    FakeClockTimer *timer = nullptr;
    for (FakeClockTimer *t : m_timers) {
        if (t->due() < at) {
            at = t->due();
            timer = t;
        }
    }
    const bool actionFirst = !m_actions.empty() && m_actions.begin()->first <= at;
    if (actionFirst)
        at = m_actions.begin()->first;
    if (at > deadline)
        return false;
    m_now = std::max(m_now, at);
    if (actionFirst) {
        auto action = std::move(m_actions.begin()->second);
        m_actions.erase(m_actions.begin());
        action();
    } else {
        timer->fire();
    }
    return true;
}

void FakeClock::waitProcessingEvents(double deadline)
{
    m_waits.push_back({m_now, deadline});
    const quint64 interruptions = m_interruptions;
    QCoreApplication::processEvents();
    while (interruptions == m_interruptions && runNextDue(deadline))
        QCoreApplication::processEvents();
    if (interruptions == m_interruptions)
        m_now = std::max(m_now, deadline);
}

void FakeClock::nap(double seconds)
{
    m_now += seconds;
    m_napped += seconds;
}

void FakeClock::interruptWaits()
{
    ++m_interruptions;
}

std::unique_ptr<ClockTimer> FakeClock::makeTimer()
{
    return std::make_unique<FakeClockTimer>(*this);
}

void FakeClock::schedule(double at, std::function<void()> action)
{
    m_actions.emplace(at, std::move(action));
}
