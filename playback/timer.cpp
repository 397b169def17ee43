#include "playback/timer.h"

#include <QTimerEvent>

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
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
    // An interval of 0 never ticks, as with the window timers this stands in for.
    if (enabled && interval > 0)
        m_timerId = startTimer(interval, Qt::PreciseTimer);
}

void EventLoopTimer::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_timerId)
        emit tick();
}
