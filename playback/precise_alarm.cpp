#include "playback/precise_alarm.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace vovozodo {

PreciseAlarm::PreciseAlarm(QObject *context, std::function<void()> fired)
    : m_fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)),
      m_fired(std::move(fired)) {
    if (!m_fd.isValid()) {
        m_fallback = std::make_unique<QTimer>();
        m_fallback->setSingleShot(true);
        m_fallback->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_fallback.get(), &QTimer::timeout, context, [this] { m_fired(); });
        return;
    }
    // A child of `context`, so that whoever looks for what is armed on it finds it.
    m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read, context);
    m_notifier->setEnabled(false);
    QObject::connect(m_notifier, &QSocketNotifier::activated, context, [this] { expired(); });
}

PreciseAlarm::~PreciseAlarm() {
    delete m_notifier;
}

void PreciseAlarm::start(qint64 usecs) {
    startAt(Clock::now() + std::chrono::microseconds(usecs));
}

void PreciseAlarm::startAt(Clock::time_point due) {
    using namespace std::chrono;
    if (m_fallback) {
        const auto wait = ceil<milliseconds>(due - Clock::now());
        m_fallback->start(std::clamp(wait, 0ms, milliseconds(24h)));
        return;
    }
    // The steady clock is CLOCK_MONOTONIC; an all-zero time would disarm.
    const nanoseconds at = std::max(due.time_since_epoch(), nanoseconds(1));
    itimerspec when{};
    when.it_value.tv_sec = time_t(duration_cast<seconds>(at).count());
    when.it_value.tv_nsec = long((at % 1s).count());
    ::timerfd_settime(m_fd.get(), TFD_TIMER_ABSTIME, &when, nullptr);
    if (m_notifier)
        m_notifier->setEnabled(true);
}

void PreciseAlarm::stop() {
    if (m_fallback) {
        m_fallback->stop();
        return;
    }
    const itimerspec disarmed{};
    ::timerfd_settime(m_fd.get(), 0, &disarmed, nullptr);
    if (m_notifier)
        m_notifier->setEnabled(false);
}

void PreciseAlarm::expired() {
    std::uint64_t expirations = 0;
    // Nothing to read: stopped or set again after it fired.
    if (::read(m_fd.get(), &expirations, sizeof expirations) != sizeof expirations)
        return;
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_fired();
}

} // namespace vovozodo
