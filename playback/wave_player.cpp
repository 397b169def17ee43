#include "playback/wave_player.h"

#include "platform/windows_path.h"
#include "playback/end_of_play.h"
#include "playback/logging.h"
#include "playback/play_feed.h"
#include "playback/precise_alarm.h"
#include "playback/pulse_connection.h"
#include "playback/pulse_stream.h"
#include "playback/wave_file.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <limits>

namespace vovozodo {

namespace {

using Frames = WaveFile::Frames;

// A stream whose clock has not moved for this long is taken as hung. A fresh
// stream may start well over a second late on an idle server. A server that
// does not answer at all is given up on after the same time. The watchdog
// looks this often.
constexpr qint64 kStallTimeoutMs = 6000;
constexpr int kWatchdogMs = 1000;

// The position shown between replies runs on by at most this much; replies
// are asked for about twice as often.
constexpr qint64 kShownRunOnUsecs = 1'000'000;
constexpr qint64 kTimingEveryUsecs = 500'000;

qint64 framesToUsecs(Frames frames, int rate) {
    // Rounded up so that the end is never declared a sample early.
    return (qint64(frames) * 1'000'000 + rate - 1) / rate;
}

qint32 framesToMs(Frames frames, int rate) {
    if (frames <= 0 || rate <= 0)
        return 0;
    return qint32(std::min<Frames>(frames / rate * 1000 + frames % rate * 1000 / rate,
                                   std::numeric_limits<qint32>::max()));
}

} // namespace

struct WavePlayer::Private {
    Private(QObject *context, Listener listener) : context(context), listener(std::move(listener)) {
        watchdog.setInterval(kWatchdogMs);
        watchdog.setTimerType(Qt::VeryCoarseTimer);
        QObject::connect(&watchdog, &QTimer::timeout, context, [this] {
            checkStall();
            reportState();
        });
    }

    enum class Play { None, WaitingForStream, Running };

    QObject *context;
    Listener listener;
    SoundDevice::State reportedState = SoundDevice::State::NotOpen;

    std::unique_ptr<WaveFile> file;
    QString fileName;         // native, for the log
    Frames positionFrame = 0; // where the next play starts

    // libpulse's thread reports every change here; the news is handled on
    // this thread, once however often it came.
    std::atomic<bool> changePending = false;
    // Outlives the stream made on it.
    PulseConnection connection{[this] { changed(); }};
    std::unique_ptr<PulseStream> stream;

    Play play = Play::None;
    Frames playStartFrame = 0;
    PlayFeed feed;
    qint64 playUsecs = 0;          // audible length of the play
    mutable qint64 heardUsecs = 0; // the latest clock reading; kept when the stream fails
    qint64 lastReadBytes = -1;
    QElapsedTimer sinceProgress;
    PreciseAlarm endAlarm{context, [this] {
                              if (stream && play == Play::Running)
                                  endAlarmFired();
                              reportState();
                          }};
    QTimer watchdog;

    bool playing() const { return play != Play::None; }

    SoundDevice::State state() const {
        if (!file)
            return SoundDevice::State::NotOpen;
        return playing() ? SoundDevice::State::Playing : SoundDevice::State::Stopped;
    }

    // Once per call or event, so that a listener sees where it ended up and
    // not the steps on the way (an open closes first).
    void reportState() {
        const SoundDevice::State now = state();
        if (now == reportedState)
            return;
        reportedState = now;
        listener.stateChanged(now);
    }

    // On libpulse's thread, with its lock held.
    void changed() {
        if (changePending.exchange(true))
            return;
        QMetaObject::invokeMethod(
            context,
            [this] {
                changePending = false;
                handleChanges();
                reportState();
            },
            Qt::QueuedConnection);
    }

    // The caller's handlers are not re-entrant: the end of a play always
    // arrives as an event of its own, never from inside a command.
    void postDone(SoundDevice::NotifyCode code) {
        qCDebug(lcPlayback) << "play of" << fileName << "ended:" << code;
        QMetaObject::invokeMethod(
            context, [done = listener.done, code] { done(code); }, Qt::QueuedConnection);
    }

    Frames heardFrame() const {
        if (!playing())
            return positionFrame;
        if (stream) {
            if (const std::optional<qint64> heard = stream->heardUsecs(kShownRunOnUsecs))
                heardUsecs = std::max(heardUsecs, *heard);
        }
        const Frames heard = std::min(heardUsecs, playUsecs) * file->sampleRate() / 1'000'000;
        return std::min(file->frames(), playStartFrame + heard);
    }

    // A stream for the open recording's format, made ahead of its play.
    void prepareStream() {
        if (stream && !stream->plays(file->sampleRate(), file->channels()))
            stream.reset();
        if (!stream && connection.isReady())
            stream = std::make_unique<PulseStream>(connection, file->sampleRate(), file->channels(),
                                                   [this] { changed(); });
    }

    void handleChanges() {
        if (connection.hasFailed() || (stream && stream->hasFailed())) {
            // Once per failure: what failed is let go below and reports no more.
            if (playing() || stream)
                qCWarning(lcPlayback, "%s (%s)%s",
                          connection.hasFailed() ? "Lost the sound server"
                                                 : "The sound server ended the stream",
                          connection.failure(), playing() ? "; the play is cut short" : "");
            cutPlay(SoundDevice::Failure);
            stream.reset();
            if (connection.hasFailed())
                connection.drop();
            return;
        }
        if (!file)
            return;
        prepareStream();
        if (play == Play::WaitingForStream && stream && stream->isReady())
            startRun();
        else if (play == Play::Running && stream)
            keepRunning();
    }

    void endPlay() {
        if (stream)
            stream->stop();
        play = Play::None;
        endAlarm.stop();
        watchdog.stop();
    }

    // Ends the current play before its end, reported with `code`.
    void cutPlay(SoundDevice::NotifyCode code) {
        if (!playing())
            return;
        positionFrame = heardFrame();
        endPlay();
        postDone(code);
    }

    void finishPlay() {
        endPlay();
        positionFrame = file->frames();
        postDone(SoundDevice::Successful);
    }

    void close() {
        cutPlay(SoundDevice::Aborted);
        file.reset();
        positionFrame = 0;
    }

    void open(const QString &windowsPath) {
        close();
        platform::WindowsPathResolver resolver;
        const std::optional<QString> native = resolver.resolve(windowsPath);
        fileName = native.value_or(windowsPath);
        if (!native || !resolver.isRegularFile(windowsPath)) {
            qCWarning(lcPlayback, "Cannot open %s: %s", qUtf8Printable(fileName),
                      native ? "not a regular file" : "no such file");
            return;
        }
        file = WaveFile::open(*native);
        if (!file) {
            qCWarning(lcPlayback, "Cannot play %s: not a wave recording it can play",
                      qUtf8Printable(fileName));
            return;
        }
        qCDebug(lcPlayback, "Opened %s: %d Hz, %d channel(s), %lld frames",
                qUtf8Printable(fileName), file->sampleRate(), file->channels(),
                qint64(file->frames()));
        // The play that follows finds the connection and its stream ready or
        // on their way.
        if (connection.connect())
            prepareStream();
    }

    void rewind() {
        cutPlay(SoundDevice::Aborted);
        positionFrame = 0;
    }

    void startPlay() {
        if (!file)
            return;
        if (playing()) {
            // Keeps playing; the new request takes over its end.
            postDone(SoundDevice::Superseded);
            return;
        }
        if (positionFrame < file->frames() && !file->seek(positionFrame)) {
            qCWarning(lcPlayback, "Cannot read %s from frame %lld", qUtf8Printable(fileName),
                      qint64(positionFrame));
            return;
        }
        // Without a server the play fails at once and, as ever, tells the
        // caller nothing.
        if (!connection.connect()) {
            qCWarning(lcPlayback, "Cannot play %s: no sound server (%s)", qUtf8Printable(fileName),
                      connection.failure());
            return;
        }
        playStartFrame = positionFrame;
        const Frames frames = file->frames() - positionFrame;
        playUsecs = framesToUsecs(frames, file->sampleRate());
        if (frames == 0) {
            // Nothing to hear: it has ended.
            postDone(SoundDevice::Successful);
            return;
        }
        feed.begin(*file, frames);
        heardUsecs = 0;
        play = Play::WaitingForStream;
        sinceProgress.start();
        watchdog.start();
        prepareStream();
        if (stream && stream->isReady())
            startRun();
    }

    void startRun() {
        play = Play::Running;
        lastReadBytes = -1;
        sinceProgress.start();
        if (!feed.writeTo(*stream, stream->startBytes())) {
            warnWriteFailed();
            cutPlay(SoundDevice::Failure);
            return;
        }
        stream->start();
        checkEnd();
    }

    // The stream asked for more, or its clock has been read.
    void keepRunning() {
        const qint64 wanted = stream->writableBytes();
        if (wanted > 0) {
            if (!feed.writeTo(*stream, wanted)) {
                warnWriteFailed();
                cutPlay(SoundDevice::Failure);
                return;
            }
            const qint64 age = stream->timingAgeUsecs();
            if (age < 0 || age > kTimingEveryUsecs)
                stream->requestTiming();
        }
        const qint64 readBytes = stream->readBytes();
        if (readBytes != lastReadBytes) {
            lastReadBytes = readBytes;
            sinceProgress.start();
        }
        checkEnd();
    }

    // Once the last sample is written, one alarm waits for the end, asking
    // for the stream's clock shortly before it is due.
    void checkEnd() {
        if (feed.framesLeft() > 0)
            return;
        const EndStep step = nextEndStep(
            playUsecs, stream->heardUsecs(kShownRunOnUsecs).value_or(0), stream->timingAgeUsecs());
        switch (step.kind) {
        case EndStep::Ended:
            finishPlay();
            break;
        case EndStep::AskNow:
            endAlarm.stop();
            stream->requestTiming();
            break;
        case EndStep::Wait:
            endAlarm.start(std::min<qint64>(step.waitUsecs, kWatchdogMs * 1000));
            break;
        }
    }

    void endAlarmFired() {
        if (isFreshReading(stream->timingAgeUsecs()))
            checkEnd();
        else
            stream->requestTiming();
    }

    void warnWriteFailed() const {
        qCWarning(lcPlayback, "Cannot hand %s to the sound server (%s); the play is cut short",
                  qUtf8Printable(fileName), connection.failure());
    }

    void checkStall() {
        if (sinceProgress.elapsed() > kStallTimeoutMs) {
            qCWarning(lcPlayback,
                      "The sound server has not played %s for %lld s; the play is given up",
                      qUtf8Printable(fileName), kStallTimeoutMs / 1000);
            cutPlay(SoundDevice::Failure);
        } else if (stream)
            stream->requestTiming();
    }
};

WavePlayer::WavePlayer(QObject *context, Listener listener)
    : d(std::make_unique<Private>(context, std::move(listener))) {}

WavePlayer::~WavePlayer() = default;

void WavePlayer::close() {
    d->close();
    d->reportState();
}

void WavePlayer::open(const QString &windowsPath) {
    d->open(windowsPath);
    d->reportState();
}

void WavePlayer::play() {
    d->startPlay();
    d->reportState();
}

void WavePlayer::rewind() {
    d->rewind();
    d->reportState();
}

SoundDevice::State WavePlayer::state() const {
    return d->state();
}

qint32 WavePlayer::lengthMs() const {
    return d->file ? framesToMs(d->file->frames(), d->file->sampleRate()) : 0;
}

qint32 WavePlayer::positionMs() const {
    return d->file ? framesToMs(d->heardFrame(), d->file->sampleRate()) : 0;
}

} // namespace vovozodo
