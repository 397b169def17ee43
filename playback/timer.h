#pragma once

#include <QObject>

#include <chrono>
#include <memory>

namespace vovozodo {

// A window timer: enabled or not, with an interval in milliseconds; while
// enabled it ticks every interval. Changing the interval of an enabled timer
// restarts its countdown. The main window's waits and its progress tick go
// through this, so tests can fire ticks by hand.
class Timer : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    void setInterval(int milliseconds);
    int interval() const { return m_interval; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

signals:
    void tick();

protected:
    // Called whenever the timer must (re)start counting or stop.
    virtual void rearm(bool enabled, int interval) = 0;

private:
    int m_interval = 0;
    bool m_enabled = false;
};

class PreciseAlarm;

// Ticks from the event loop, to within a few microseconds, never early.
// Ticks that fall due while a handler runs are merged into one.
class EventLoopTimer final : public Timer {
    Q_OBJECT

public:
    explicit EventLoopTimer(QObject *parent = nullptr);
    ~EventLoopTimer() override;

protected:
    void rearm(bool enabled, int interval) override;

private:
    void alarmRang();

    std::unique_ptr<PreciseAlarm> m_alarm;
    std::chrono::steady_clock::time_point m_due;
    quint64 m_generation = 0; // bumped by every rearm
};

} // namespace vovozodo
