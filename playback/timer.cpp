#include "playback/timer.h"

#include "playback/precise_alarm.h"

namespace vovozodo {

void Timer::setInterval(int milliseconds) {
    m_interval = milliseconds;
    if (m_enabled)
        rearm(true, m_interval);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    rearm(m_enabled, m_interval);
}

EventLoopTimer::EventLoopTimer(QObject *parent)
    : Timer(parent), m_alarm(std::make_unique<PreciseAlarm>(this, [this] { alarmRang(); })) {}

EventLoopTimer::~EventLoopTimer() = default;

void EventLoopTimer::rearm(bool enabled, int interval) {
    m_alarm->stop();
    ++m_generation;
    // An interval of 0 never ticks, as with the window timers this stands in for.
    if (!enabled || interval <= 0)
        return;
    m_due = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval);
    m_alarm->startAt(m_due);
}

void EventLoopTimer::alarmRang() {
    const quint64 generation = m_generation;
    emit tick();
    // The handler may have stopped the timer or set it going afresh.
    if (generation != m_generation || !isEnabled())
        return;
    const auto now = std::chrono::steady_clock::now();
    m_due += std::chrono::milliseconds(interval());
    if (m_due <= now)
        m_due = now + std::chrono::milliseconds(interval());
    m_alarm->startAt(m_due);
}

} // namespace vovozodo
