#pragma once

#include <QObject>

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

// Ticks from the event loop, precisely (coarse timers fire up to 5 % early).
class EventLoopTimer final : public Timer {
    Q_OBJECT

public:
    explicit EventLoopTimer(QObject *parent = nullptr);

protected:
    void rearm(bool enabled, int interval) override;

private:
    int m_timerId = 0;
    void timerEvent(QTimerEvent *event) override;
};
