// The event-loop timer behind the main window's waits: it must never tick
// before its interval, must keep ticking while enabled, and must follow
// whatever its handler does to it.
#include "playback/timer.h"
#include "support/pump_until.h"

#include <QElapsedTimer>
#include <QTest>

using namespace vovozodo;

using namespace std::chrono_literals;

namespace {

// Every tick's time since the timer was enabled.
struct TickLog {
    explicit TickLog(Timer &timer) {
        QObject::connect(&timer, &Timer::tick, &timer,
                         [this] { at << clock.nsecsElapsed() / 1e6; });
    }
    void start() { clock.start(); }

    QList<double> at;
    QElapsedTimer clock;
};

} // namespace

class EventLoopTimerTest : public QObject {
    Q_OBJECT

private slots:
    void oneShotUseTicksOnceAndNeverEarly_data() {
        QTest::addColumn<int>("interval");
        QTest::newRow("short wait") << 30;
        QTest::newRow("long wait") << 400;
    }

    void oneShotUseTicksOnceAndNeverEarly() {
        QFETCH(int, interval);
        EventLoopTimer timer;
        TickLog log(timer);
        // The way the window uses it: the tick handler disables it first.
        connect(&timer, &Timer::tick, &timer, [&timer] { timer.setEnabled(false); });
        timer.setInterval(interval);
        log.start();
        timer.setEnabled(true);
        QVERIFY(pumpUntil([&] { return !log.at.isEmpty(); }, 10s));
        pumpFor(std::chrono::milliseconds(interval) + 100ms);
        QCOMPARE(log.at.size(), 1);
        QVERIFY2(log.at[0] >= interval, qPrintable(QString::number(log.at[0])));
    }

    void keepsTickingOnItsOwnCadence() {
        EventLoopTimer timer;
        TickLog log(timer);
        timer.setInterval(25);
        log.start();
        timer.setEnabled(true);
        QVERIFY(pumpUntil([&] { return log.at.size() >= 6; }, 10s));
        timer.setEnabled(false);
        // Tick k is due k intervals after the start, not after the tick before.
        for (qsizetype k = 0; k < log.at.size(); ++k)
            QVERIFY2(log.at[k] >= 25.0 * double(k + 1), qPrintable(QString::number(log.at[k])));
        const qsizetype ticks = log.at.size();
        pumpFor(100ms);
        QCOMPARE(log.at.size(), ticks);
    }

    void newIntervalRestartsTheCountdown() {
        EventLoopTimer timer;
        TickLog log(timer);
        timer.setInterval(3'600'000); // an hour: never reached, however slow the machine
        log.start();
        timer.setEnabled(true);
        pumpFor(50ms);
        timer.setInterval(100);
        QVERIFY(pumpUntil([&] { return !log.at.isEmpty(); }, 30s));
        QVERIFY2(log.at[0] >= 150, qPrintable(QString::number(log.at[0])));
    }

    void handlerThatRestartsItLeavesOneCountdown() {
        EventLoopTimer timer;
        TickLog log(timer);
        connect(&timer, &Timer::tick, &timer, [&] {
            if (log.at.size() == 1)
                timer.setInterval(60);
        });
        timer.setInterval(20);
        log.start();
        timer.setEnabled(true);
        QVERIFY(pumpUntil([&] { return log.at.size() >= 3; }, 10s));
        timer.setEnabled(false);
        // Two countdowns at once would bring the third tick in at about 40 ms.
        QVERIFY2(log.at[2] - log.at[0] >= 119.9, qPrintable(QString::number(log.at[2])));
    }

    void zeroIntervalOrDisabledNeverTicks() {
        EventLoopTimer timer;
        TickLog log(timer);
        timer.setEnabled(true);
        pumpFor(50ms);
        timer.setInterval(20);
        timer.setEnabled(false);
        pumpFor(80ms);
        QVERIFY(log.at.isEmpty());
    }
};

QTEST_MAIN(EventLoopTimerTest)
#include "tst_event_loop_timer.moc"
