// An idle program keeps no timer running: with a lesson loaded and nothing
// playing, nothing wakes the user-interface thread.
#include "library/install_root.h"
#include "playback/playback_services.h"
#include "playback/timer.h"
#include "playback/wave_audio_device.h"
#include "support/lesson_folder.h"
#include "support/main_window_rig.h"
#include "support/pump_until.h"
#include "support/sound_server.h"
#include "ui/begin1.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace vovozodo;

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// How often the threads of this process have gone to sleep so far, but for the
// sound client's own thread: that one wakes for whatever the shared server
// tells every stream, such as a latency change when another test's play starts.
qint64 voluntarySwitches() {
    qint64 total = 0;
    for (const QString &task :
         QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(u"/proc/self/task/%1/comm"_s.arg(task));
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "threaded-ml")
            continue;
        QFile status(u"/proc/self/task/%1/status"_s.arg(task));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return total;
}

// Times the process's threads wake up while an event loop, left alone, sees
// `ticks` ticks of the test's own timer. A count against a count: a slow or
// busy machine stretches the span, but wakes nothing more.
qint64 wakeupsWhileIdle(int ticks) {
    QEventLoop loop;
    QTimer timer;
    int seen = 0;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (++seen == ticks)
            loop.quit();
    });
    timer.start(250ms);
    const qint64 before = voluntarySwitches();
    loop.exec();
    return voluntarySwitches() - before;
}

} // namespace

class IdleTimersTest : public QObject {
    Q_OBJECT

private slots:
    void handFiredTimersAreAllOffWhenIdle() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"a"_s, u"b"_s}));
        rig.open();
        auto allOff = [&] {
            for (int i = 0; i < rig.playback.timerCount(); ++i) {
                if (rig.playback.timer(i)->isEnabled())
                    return false;
            }
            return true;
        };
        QVERIFY(allOff());
        rig.combo("Combo1")->setCurrentIndex(1);
        QVERIFY(allOff());

        rig.check()->click(); // "Automatically" off
        rig.button("Command5")->click();
        QVERIFY(rig.progressTick().isEnabled());
        rig.device().finishPlay();
        QVERIFY(allOff());
    }

    // The real device and event-loop timers, after a play has ended.
    void nothingTicksAfterARealPlay() {
        REQUIRE_SOUND_SERVER();
        LessonLibrary library;
        QVERIFY(library.writeTranscript(1, {u"One"_s, u"a"_s}));
        QVERIFY(library.writeSoundFiles(1, 1, 1, u".wav"_s, true, 300));
        InstallRoot = library.root();

        QList<QObject *> owned;
        WaveAudioDevice *device = nullptr;
        PlaybackServices services = PlaybackServices::system();
        services.createSoundDevice = [&] {
            auto made = std::make_unique<WaveAudioDevice>();
            device = made.get();
            owned << made.get();
            return std::unique_ptr<SoundDevice>(std::move(made));
        };
        services.createTimer = [&] {
            auto made = std::make_unique<EventLoopTimer>();
            owned << made.get();
            return std::unique_ptr<Timer>(std::move(made));
        };
        Begin1 window(services);
        owned << &window;
        int successes = 0;
        connect(device, &SoundDevice::done, this,
                [&](qint16 code) { successes += code == SoundDevice::Successful ? 1 : 0; });

        QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
        // Event-loop timers, and the precise alarms that wait on descriptors.
        auto activeTimers = [&] {
            qsizetype count = 0;
            for (QObject *object : owned) {
                count += dispatcher->registeredTimers(object).size();
                const auto alarms =
                    object->findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly);
                count += std::count_if(alarms.begin(), alarms.end(),
                                       [](const QSocketNotifier *n) { return n->isEnabled(); });
            }
            return count;
        };

        window.findChild<QComboBox *>(u"Combo1"_s)->setCurrentIndex(1);
        QCOMPARE(activeTimers(), 0);
        window.findChild<QCheckBox *>(u"Check1"_s)->click();
        window.findChild<QPushButton *>(u"Command5"_s)->click();
        QVERIFY(activeTimers() > 0); // the progress tick
        QVERIFY(pumpUntil([&] { return successes == 1; }, 10s));
        pumpFor(100ms);
        QCOMPARE(activeTimers(), 0);

        // The device's timers and its sound connection are hidden inside it;
        // its stream stays on the server, corked, and must not wake any
        // thread either (a timer or clock updates would, every few ms): the
        // threads wake for the test's ticks, and hardly more.
        constexpr int ticks = 4;
        const qint64 wakeups = wakeupsWhileIdle(ticks);
        qInfo("idle for %d ticks of 250 ms: the process's threads woke %lld times", ticks, wakeups);
        QVERIFY(wakeups >= 0);
        QVERIFY2(wakeups < 2 * ticks + 5,
                 qPrintable(u"woke %1 times in %2 ticks of idling"_s.arg(wakeups).arg(ticks)));
        InstallRoot.clear();
    }
};

QTEST_MAIN(IdleTimersTest)
#include "tst_idle_timers.moc"
