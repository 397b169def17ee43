#pragma once

#include "handles/unique_fd.h"

#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>

class QObject;
class QSocketNotifier;
class QTimer;

namespace vovozodo {

// A one-shot alarm to within a few microseconds, delivered on `context`'s
// thread. The event loop's own timers count whole milliseconds and wait in
// poll(), which the kernel lets run late by 0.1 % of its length (4 ms on a
// 4 s pause): either would be heard in every pause between two plays.
class PreciseAlarm {
public:
    PreciseAlarm(QObject *context, std::function<void()> fired);
    ~PreciseAlarm();
    PreciseAlarm(const PreciseAlarm &) = delete;
    PreciseAlarm &operator=(const PreciseAlarm &) = delete;

    using Clock = std::chrono::steady_clock;

    // Either replaces any alarm already set.
    void start(qint64 usecs);
    void startAt(Clock::time_point due);
    void stop();

private:
    void expired();

    UniqueFd m_fd; // outlives the notifier watching it
    // A child of the context, which may go first.
    QPointer<QSocketNotifier> m_notifier;
    // Without a timer descriptor to spare, the event loop's timer, rounded up.
    std::unique_ptr<QTimer> m_fallback;
    std::function<void()> m_fired;
};

} // namespace vovozodo
