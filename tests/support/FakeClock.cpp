#include "FakeClock.h"

#include <QCoreApplication>

#include <limits>

class FakeClock::Timer : public ClockTimer
{
public:
    explicit Timer(FakeClock &clock)
        : clock(&clock)
    {
        clock.m_timers.push_back(this);
    }
    ~Timer() override
    {
        if (clock)
            std::erase(clock->m_timers, this);
    }
    void setInterval(int ms) override { restart(m_enabled, ms); }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override { restart(enabled, m_interval); }
    bool isEnabled() const override { return m_enabled && m_interval > 0; }
    void setCallback(std::function<void()> onTick) override { m_onTick = std::move(onTick); }

    double due() const { return isEnabled() ? m_next : std::numeric_limits<double>::infinity(); }
    void fire()
    {
        m_next += m_interval / 1000.0;
        m_onTick();
    }
    FakeClock *clock;

private:
    void restart(bool enabled, int ms)
    {
        m_enabled = enabled;
        m_interval = ms;
        m_next = clock ? clock->m_now + ms / 1000.0 : 0;
    }
    int m_interval = 0;
    bool m_enabled = false;
    double m_next = 0;
    std::function<void()> m_onTick = [] {};
};

FakeClock::~FakeClock()
{
    for (Timer *timer : m_timers)
        timer->clock = nullptr;
}

std::unique_ptr<ClockTimer> FakeClock::makeTimer()
{
    return std::make_unique<Timer>(*this);
}

void FakeClock::waitProcessingEvents(double deadline)
{
    waitDeadlines.push_back(deadline);
    const quint64 interruptions = m_interruptions;
    for (;;) {
        QCoreApplication::processEvents();
        if (interruptions != m_interruptions)
            return;
        // The next action or tick due by the deadline, actions first at the same time.
        Timer *timer = nullptr;
        double at = std::numeric_limits<double>::infinity();
        for (Timer *t : m_timers) {
            if (t->due() < at)
                at = (timer = t)->due();
        }
        const bool action = !m_actions.empty() && m_actions.begin()->first <= at;
        if (action)
            at = m_actions.begin()->first;
        if (at > deadline)
            break;
        m_now = std::max(m_now, at);
        if (action) {
            auto run = std::move(m_actions.begin()->second);
            m_actions.erase(m_actions.begin());
            run();
        } else {
            timer->fire();
        }
    }
    m_now = std::max(m_now, deadline);
}
