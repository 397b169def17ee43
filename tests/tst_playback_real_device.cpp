// The automatic playback cycle on the real wave-audio device and event-loop
// timers: the order of plays and the pauses between them as they happen on a
// sound server, where completions and ticks arrive on their own.
#include "library/install_root.h"
#include "playback/playback_services.h"
#include "playback/wave_audio_device.h"
#include "support/lesson_folder.h"
#include "support/pump_until.h"
#include "support/recording_sound_device.h"
#include "support/sound_server.h"
#include "ui/begin1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr int ToneMs = 300;

int sentenceOf(const QString &windowsPath) {
    return windowsPath.section(u'\\', -1).section(u'.', 0, 0).toInt();
}

} // namespace

class PlaybackRealDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        REQUIRE_SOUND_SERVER();
        QVERIFY(m_library.isValid());
        QVERIFY(m_library.writeTranscript(1, {u"Tones"_s, u"One."_s, u"Two."_s, u"Three."_s}));
        // Three pitches, so a mix-up of files would also be audible.
        QVERIFY(m_library.writeSoundFiles(1, 1, 3, u".wav"_s, true, ToneMs));
        InstallRoot = m_library.root();
    }

    void automaticCycleKeepsOrderAndPauses_data() {
        QTest::addColumn<int>("repeatIndex");
        QTest::addColumn<int>("pauseIndex");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("start-up settings: repeat 1, 500 ms")
            << 1 << 0 << 500 << QList<int>{1, 1, 2, 2, 3, 3, 1};
        QTest::newRow("repeat 0, 1000 ms") << 0 << 1 << 1000 << QList<int>{1, 2, 3, 1};
    }

    void automaticCycleKeepsOrderAndPauses() {
        QFETCH(int, repeatIndex);
        QFETCH(int, pauseIndex);
        QFETCH(int, pauseMs);
        QFETCH(QList<int>, order);

        RecordingSoundDevice *device = nullptr;
        PlaybackServices services = PlaybackServices::system();
        services.createSoundDevice = [&device] {
            auto recording =
                std::make_unique<RecordingSoundDevice>(std::make_unique<WaveAudioDevice>());
            device = recording.get();
            return std::unique_ptr<SoundDevice>(std::move(recording));
        };
        Begin1 window(services);
        QVERIFY(device);
        window.findChild<QComboBox *>(u"Combo1"_s)->setCurrentIndex(1);
        QVERIFY(window.findChild<QCheckBox *>(u"Check1"_s)->isChecked());
        window.findChild<QComboBox *>(u"Combo2"_s)->setCurrentIndex(repeatIndex);
        window.findChild<QComboBox *>(u"Combo3"_s)->setCurrentIndex(pauseIndex);

        window.findChild<QPushButton *>(u"Command5"_s)->click();
        const qsizetype plays = order.size();
        // Bounds a hang only: a plain null sink reports each end seconds late.
        const auto deadline = plays * (std::chrono::milliseconds(ToneMs + pauseMs) + 5s);
        QVERIFY2(
            pumpUntil([&] { return device->count(RecordingSoundDevice::Event::Play) >= plays; },
                      deadline),
            qPrintable(u"only %1 of %2 plays started"_s
                           .arg(device->count(RecordingSoundDevice::Event::Play))
                           .arg(plays)));

        QList<int> played;
        const RecordingSoundDevice::Event *lastPlay = nullptr;
        const RecordingSoundDevice::Event *lastDone = nullptr;
        for (const RecordingSoundDevice::Event &event : device->events()) {
            if (event.kind == RecordingSoundDevice::Event::Done) {
                QCOMPARE(event.notifyCode, qint16(SoundDevice::Successful));
                QVERIFY2(lastPlay && !lastDone, "a completion without a play of its own");
                // Never before the audible end (how soon after it, and how
                // close each pause comes to its length, bench/audio-timing
                // measures): not when the data was handed over.
                const qint64 playedMs = (event.atUsecs - lastPlay->atUsecs) / 1000;
                QVERIFY2(playedMs >= ToneMs - 10,
                         qPrintable(u"play %1 took %2 ms"_s.arg(played.size()).arg(playedMs)));
                lastDone = &event;
                continue;
            }
            if (lastPlay) {
                QVERIFY2(lastDone, "a play started before the previous one ended");
                const qint64 pauseTaken = (event.atUsecs - lastDone->atUsecs) / 1000;
                QVERIFY2(pauseTaken >= pauseMs - 50,
                         qPrintable(u"pause %1 lasted %2 ms, shorter than %3"_s.arg(played.size())
                                        .arg(pauseTaken)
                                        .arg(pauseMs)));
            }
            played << sentenceOf(event.fileName);
            lastPlay = &event;
            lastDone = nullptr;
        }
        played.resize(std::min(played.size(), plays));
        QCOMPARE(played, order);
    }

private:
    LessonLibrary m_library;
};

QTEST_MAIN(PlaybackRealDeviceTest)
#include "tst_playback_real_device.moc"
