#include "Clock.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

class QtClockTimer : public ClockTimer
{
public:
    QtClockTimer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
    }
    // As a window timer: enabled with no interval it waits, and runs once it gets one.
    void setInterval(int ms) override
    {
        m_timer.setInterval(ms);
        setEnabled(m_enabled);
    }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool enabled) override
    {
        m_enabled = enabled;
        if (enabled && m_timer.interval() > 0)
            m_timer.start();
        else
            m_timer.stop();
    }
    bool isEnabled() const override { return m_timer.isActive(); }
    void setCallback(std::function<void()> onTick) override { m_onTick = std::move(onTick); }

private:
    void tick()
    {
        if (m_onTick)
            m_onTick();
    }
    QTimer m_timer;
    bool m_enabled = false;
    std::function<void()> m_onTick;
};

} // namespace

double SystemClock::now() const
{
    // steady_clock never jumps: the waits stay right across midnight and clock changes.
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::waitProcessingEvents(double deadline)
{
    const quint64 interruptions = m_interruptions;
    // A timer ends a sleeping event loop: the window stays responsive and no core spins. The
    // loop is repeated because a timer may fire a little early.
    for (double left = deadline - now(); left > 0 && interruptions == m_interruptions;
         left = deadline - now()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::max(1, static_cast<int>(std::ceil(left * 1000.0))));
        m_loops.push_back(&loop);
        loop.exec();
        m_loops.pop_back();
    }
}

void SystemClock::nap(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void SystemClock::interruptWaits()
{
    ++m_interruptions;
    // Outer loops return as soon as control gets back to them.
    for (QEventLoop *loop : m_loops)
        loop->quit();
}

std::unique_ptr<ClockTimer> SystemClock::makeTimer()
{
    return std::make_unique<QtClockTimer>();
}
