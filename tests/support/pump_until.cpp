#include "support/pump_until.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace vovozodo {

bool pumpUntil(const std::function<bool()> &condition, std::chrono::milliseconds deadline) {
    QDeadlineTimer timer(deadline, Qt::PreciseTimer);
    while (!condition()) {
        if (timer.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

void pumpFor(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
}

} // namespace vovozodo
