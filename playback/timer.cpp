#include "playback/timer.h"

#include <QTimerEvent>

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

EventLoopTimer::EventLoopTimer(QObject *parent) : Timer(parent) {}

void EventLoopTimer::rearm(bool enabled, int interval) {
    stopWaiting();
    ++m_generation;
    // An interval of 0 never ticks, as with the window timers this stands in for.
    if (!enabled || interval <= 0)
        return;
    m_due = Clock::now() + std::chrono::milliseconds(interval);
    if (!waitTowardsDue())
        m_timerId = startTimer(0, Qt::PreciseTimer);
}

bool EventLoopTimer::waitTowardsDue() {
    using namespace std::chrono;
    // The event loop waits in poll(), whose timeout the kernel lets run late
    // by up to 0.1 % of its length: 4 ms on a 4 s pause. So a long wait stops
    // short by twice that and a short one, with next to no slack, finishes it.
    // Below a quarter of a second the slack is under a quarter of a
    // millisecond: such a wait (the progress tick's) is made in one go rather
    // than waking twice.
    const Clock::duration remaining = m_due - Clock::now();
    milliseconds wait = duration_cast<milliseconds>(remaining - remaining / 500) - 1ms;
    if (remaining < 250ms || wait < 1ms)
        wait = round<milliseconds>(remaining);
    if (wait <= 0ms)
        return false;
    m_timerId = startTimer(wait, Qt::PreciseTimer);
    return true;
}

void EventLoopTimer::stopWaiting() {
    if (m_timerId != 0)
        killTimer(m_timerId);
    m_timerId = 0;
}

void EventLoopTimer::timerEvent(QTimerEvent *event) {
    if (event->timerId() != m_timerId)
        return;
    stopWaiting();
    if (waitTowardsDue())
        return;
    const quint64 generation = m_generation;
    emit tick();
    // The handler may have stopped the timer or set it going afresh.
    if (generation != m_generation || !isEnabled())
        return;
    const Clock::time_point now = Clock::now();
    m_due += std::chrono::milliseconds(interval());
    if (m_due <= now)
        m_due = now + std::chrono::milliseconds(interval());
    if (!waitTowardsDue())
        m_timerId = startTimer(0, Qt::PreciseTimer);
}

} // namespace vovozodo
