#include "playback/wave_audio_device.h"
#include "playback/wave_file.h"

#include "support/done_log.h"
#include "support/lesson_folder.h"
#include "support/pump_until.h"
#include "support/sound_server.h"
#include "support/tone.h"
#include "support/unplayable_waves.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace vovozodo;

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class TestWaveAudioDevice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void playEndsWithOneSuccessAtItsAudibleEnd_data();
    void playEndsWithOneSuccessAtItsAudibleEnd();
    void stateFollowsOperationsAndTheEnd();
    void prevRestartsFromTheStart();
    void closeMidPlayCutsItWithoutSuccess();
    void openMidPlaySwitchesFiles();
    void readerRefusesUnplayableFiles_data();
    void readerRefusesUnplayableFiles();
    void waveCutShortPlaysWhatItHolds();
    void commandsCrossingTheServersAnswers();
    void destroyedMidPlay();

private:
    // "<root>\t_1\<name>" written the Windows way, with the case changed, as
    // the lesson code spells its paths.
    QString windowsPath(const QString &name) const {
        return m_library.root() + u"T_1\\"_s + name.toUpper();
    }
    QString nativePath(const QString &name) const {
        return m_library.lessonFolder(1) + u'/' + name;
    }
    QString tone(const QString &name, int ms, int rate = 44100, int channels = 1) {
        if (!writeTone(nativePath(name), 440, ms, rate, channels))
            qFatal("cannot write %s", qPrintable(nativePath(name)));
        return windowsPath(name);
    }

    LessonLibrary m_library;
};

void TestWaveAudioDevice::initTestCase() {
    QVERIFY(m_library.isValid());
    QVERIFY(QDir().mkpath(m_library.lessonFolder(1)));

    REQUIRE_SOUND_SERVER();
}

void TestWaveAudioDevice::playEndsWithOneSuccessAtItsAudibleEnd_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::newRow("300 ms mono 44.1 kHz") << 300 << 44100 << 1;
    QTest::newRow("1 s stereo 48 kHz") << 1000 << 48000 << 2;
    QTest::newRow("600 ms mono 8 kHz") << 600 << 8000 << 1;
    // A stream fed only these few samples stops its clock just short of them.
    QTest::newRow("5 ms") << 5 << 44100 << 1;
}

void TestWaveAudioDevice::playEndsWithOneSuccessAtItsAudibleEnd() {
    QFETCH(int, ms);
    QFETCH(int, rate);
    QFETCH(int, channels);
    const QString path =
        tone(u"tone-%1-%2-%3.wav"_s.arg(ms).arg(rate).arg(channels), ms, rate, channels);
    WaveAudioDevice device;
    DoneLog log(device);
    device.open(path);
    // Whole frames: 5 ms at 44.1 kHz is 220 frames, 4.99 ms.
    const qint32 length = device.length();
    QVERIFY2(length == ms || length == ms - 1, qPrintable(QString::number(length)));
    QCOMPARE(device.position(), 0);

    log.mark();
    device.play();
    // Play returns while the tone is still to be heard: one that held on until
    // the tone was over would report its end at once. (Whether the position is
    // ever seen midway depends on how busy the machine is, so it is not asked.)
    QVERIFY2(ms < 100 || device.position() < length, "Play held on until the tone was over");

    // The position climbs while the tone is heard and never passes the length.
    qint32 last = 0;
    bool outOfOrder = false;
    QVERIFY(pumpUntil(
        [&] {
            const qint32 now = device.position();
            outOfOrder |= now < last || now > length;
            last = now;
            return log.successes() > 0;
        },
        10s));
    QCOMPARE(log.codes, QList<qint16>{SoundDevice::Successful});
    QVERIFY2(!outOfOrder, "position went back or past the length");
    // Never before the tone could have been heard; how soon after its end is
    // bench/audio-timing's to measure (a plain null sink is seconds late).
    qInfo("%d ms file: done after %lld ms", ms, log.at.first());
    QVERIFY2(log.at.first() >= ms - 50, qPrintable(u"early: %1 ms"_s.arg(log.at.first())));
    QCOMPARE(device.position(), length);

    pumpFor(400ms);
    QCOMPARE(log.codes, QList<qint16>{SoundDevice::Successful});

    // Played to the end, Prev and Play hear it again in full.
    log.mark();
    device.rewind();
    QCOMPARE(device.position(), 0);
    device.play();
    QVERIFY(pumpUntil([&] { return log.successes() == 2; }, 10s));
    QVERIFY(log.at.last() >= ms - 50);
}

// The state signal follows the operations and the play's own end, once per
// change; a play asked for during a play keeps it going and supersedes it.
void TestWaveAudioDevice::stateFollowsOperationsAndTheEnd() {
    using State = SoundDevice::State;
    WaveAudioDevice device;
    DoneLog log(device);
    QList<State> states;
    connect(&device, &SoundDevice::stateChanged, this, [&](State state) { states << state; });
    device.close(); // nothing open yet
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^Cannot open .*: no such file$"_s));
    device.open(windowsPath(u"missing.wav"_s));
    QCOMPARE(device.state(), State::NotOpen);
    device.open(tone(u"quiet.wav"_s, 150));
    device.play();
    device.play();
    QCOMPARE(device.state(), State::Playing);
    QVERIFY(pumpUntil([&] { return log.successes() == 1; }, 10s));
    QCOMPARE(log.codes, (QList<qint16>{SoundDevice::Superseded, SoundDevice::Successful}));
    QCOMPARE(device.position(), 150);
    device.rewind();
    device.close();
    device.close();
    QCOMPARE(states,
             (QList<State>{State::Stopped, State::Playing, State::Stopped, State::NotOpen}));
    QCOMPARE(device.length(), 0);
    QCOMPARE(device.position(), 0);
}

void TestWaveAudioDevice::prevRestartsFromTheStart() {
    WaveAudioDevice device;
    DoneLog log(device);
    openAndPlay(device, tone(u"prev.wav"_s, 800));
    QVERIFY(pumpUntil([&] { return device.position() >= 300; }, 10s));

    log.mark();
    device.rewind();
    QCOMPARE(device.position(), 0);
    device.play();
    QVERIFY(pumpUntil([&] { return log.successes() > 0; }, 10s));

    // The cut play is not a success; the restarted one runs its full length.
    QCOMPARE(log.successes(), 1);
    QCOMPARE(log.codes.last(), qint16(SoundDevice::Successful));
    QVERIFY2(log.at.last() >= 750, qPrintable(u"done %1 ms after Prev"_s.arg(log.at.last())));
    pumpFor(300ms);
    QCOMPARE(log.successes(), 1);
}

void TestWaveAudioDevice::closeMidPlayCutsItWithoutSuccess() {
    WaveAudioDevice device;
    DoneLog log(device);
    openAndPlay(device, tone(u"close.wav"_s, 400));
    QVERIFY(pumpUntil([&] { return device.position() > 0; }, 10s));

    device.close();
    QVERIFY2(log.codes.isEmpty(), "done() must not be raised inside a command");
    QCOMPARE(device.length(), 0);
    QCOMPARE(device.position(), 0);
    QVERIFY(pumpUntil([&] { return !log.codes.isEmpty(); }, 10s));
    pumpFor(800ms); // longer than the rest of the tone
    QCOMPARE(log.codes, QList<qint16>{SoundDevice::Aborted});

    // Play after Close has nothing to play.
    device.play();
    pumpFor(200ms);
    QCOMPARE(log.codes.size(), 1);
}

void TestWaveAudioDevice::openMidPlaySwitchesFiles() {
    const QString second = tone(u"second.wav"_s, 300);
    WaveAudioDevice device;
    DoneLog log(device);
    openAndPlay(device, tone(u"first.wav"_s, 2000));
    QVERIFY(pumpUntil([&] { return device.position() >= 100; }, 10s));

    log.mark();
    openAndPlay(device, second);
    QCOMPARE(device.length(), 300);
    QVERIFY(pumpUntil([&] { return log.successes() > 0; }, 10s));
    // The second file's end, not the first's.
    QCOMPARE(device.position(), 300);
    QVERIFY2(log.at.last() >= 250, qPrintable(u"done %1 ms after the switch"_s.arg(log.at.last())));
    pumpFor(300ms);
    QCOMPARE(log.successes(), 1);
}

// The device's refusal of the same files, Open to Play, is a hostile-inputs
// test; here the reader alone refuses them, with no sound server involved.
void TestWaveAudioDevice::readerRefusesUnplayableFiles_data() {
    QTest::addColumn<QString>("kind");
    for (const UnplayableWave &wave : unplayableWaves())
        QTest::newRow(qPrintable(wave.row)) << wave.kind;
}

void TestWaveAudioDevice::readerRefusesUnplayableFiles() {
    QFETCH(QString, kind);
    const QString native = nativePath(u"unplayable-%1.wav"_s.arg(kind));
    QVERIFY2(writeUnplayableWave(native, kind), qPrintable(native));
    QVERIFY(!WaveFile::open(native));
}

void TestWaveAudioDevice::waveCutShortPlaysWhatItHolds() {
    // The header still promises a full second; only what is there is played.
    const QString native = nativePath(u"partial.wav"_s);
    QVERIFY(writeTone(native, 440, 1000));
    QVERIFY(QFile::resize(native, 44 + 44100 * 2 / 5));
    WaveAudioDevice device;
    DoneLog log(device);
    openAndPlay(device, windowsPath(u"partial.wav"_s));
    QCOMPARE(device.length(), 200);
    QVERIFY(pumpUntil([&] { return !log.codes.isEmpty(); }, 10s));
    QCOMPARE(log.codes, QList<qint16>{SoundDevice::Successful});
    QCOMPARE(device.position(), 200);
}

// Commands issued while the server still answers earlier ones: its requests
// for data and its clock readings for a play that has been cut, or for a
// stream given up for another format, must neither end nor report the next.
void TestWaveAudioDevice::commandsCrossingTheServersAnswers() {
    const QString mono = tone(u"cross-mono.wav"_s, 300);
    const QString stereo = tone(u"cross-stereo.wav"_s, 300, 48000, 2);
    WaveAudioDevice device;
    DoneLog log(device);
    for (int round = 0; round < 6; ++round) {
        openAndPlay(device, round % 2 ? stereo : mono);
        device.rewind();
        device.play();
        pumpFor(std::chrono::milliseconds(round * 5));
        device.close();
    }
    pumpFor(100ms);
    QCOMPARE(log.successes(), 0);

    log.mark();
    openAndPlay(device, mono);
    QVERIFY(pumpUntil([&] { return log.successes() > 0; }, 10s));
    QVERIFY2(log.at.last() >= 250, qPrintable(log.describe()));
    pumpFor(300ms);
    QCOMPARE(log.successes(), 1);
}

void TestWaveAudioDevice::destroyedMidPlay() {
    auto device = std::make_unique<WaveAudioDevice>();
    DoneLog log(*device);
    openAndPlay(*device, tone(u"gone.wav"_s, 500));
    QVERIFY(pumpUntil([&] { return device->position() > 0; }, 10s));
    device->rewind(); // leaves an Aborted on its way
    device.reset();

    // Gone before the server has answered for its stream.
    auto fresh = std::make_unique<WaveAudioDevice>();
    DoneLog freshLog(*fresh);
    openAndPlay(*fresh, tone(u"gone-at-once.wav"_s, 500, 22050, 2));
    fresh.reset();
    pumpFor(700ms);
    QVERIFY(log.codes.isEmpty());
    QVERIFY(freshLog.codes.isEmpty());
}

QTEST_MAIN(TestWaveAudioDevice)
#include "tst_wave_audio_device.moc"
