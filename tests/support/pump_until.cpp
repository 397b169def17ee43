#include "support/pump_until.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

namespace vovozodo {

bool pumpUntil(const std::function<bool()> &condition, std::chrono::milliseconds deadline) {
    QDeadlineTimer timer(deadline, Qt::PreciseTimer);
    // The wait sleeps until an event comes; the tick wakes it now and then for
    // conditions that other threads change without sending one. A test that
    // waits this way leaves the processor to what it waits for, even on busy cores.
    const bool canSleep = QAbstractEventDispatcher::instance() != nullptr;
    QTimer tick;
    if (canSleep)
        tick.start(std::chrono::milliseconds(2));
    while (!condition()) {
        if (timer.hasExpired())
            return condition();
        if (canSleep) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(500);
        }
    }
    return true;
}

void pumpFor(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
}

} // namespace vovozodo
