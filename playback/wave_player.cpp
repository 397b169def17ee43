#include "playback/wave_player.h"

#include "platform/windows_path.h"
#include "playback/logging.h"
#include "playback/play_run.h"
#include "playback/pulse_connection.h"
#include "playback/pulse_stream.h"
#include "playback/wave_file.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <limits>

namespace vovozodo {

namespace {

using Frames = WaveFile::Frames;

qint32 framesToMs(Frames frames, int rate) {
    if (frames <= 0 || rate <= 0)
        return 0;
    return qint32(std::min<Frames>(frames / rate * 1000 + frames % rate * 1000 / rate,
                                   std::numeric_limits<qint32>::max()));
}

} // namespace

struct WavePlayer::Private {
    Private(QObject *context, Listener listener)
        : context(context), listener(std::move(listener)) {}

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

    PlayRun run{context, stream,
                PlayRun::Listener{.ended = [this] { finishPlay(); },
                                  .failed = [this](PlayRun::Fault fault) { runFailed(fault); },
                                  .looked = [this] { reportState(); }}};

    bool playing() const { return run.isActive(); }

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

    Frames heardFrame() const { return playing() ? run.heardFrame() : positionFrame; }

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
        run.streamChanged();
    }

    void endPlay() { run.stop(); }

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
        if (positionFrame == file->frames()) {
            // Nothing to hear: it has ended.
            postDone(SoundDevice::Successful);
            return;
        }
        run.begin(*file, positionFrame);
        prepareStream();
        run.streamChanged();
    }

    void runFailed(PlayRun::Fault fault) {
        if (fault == PlayRun::Fault::Stalled)
            qCWarning(lcPlayback,
                      "The sound server has not played %s for %lld s; the play is given up",
                      qUtf8Printable(fileName), PlayRun::kStallTimeoutMs / 1000);
        else
            qCWarning(lcPlayback, "Cannot hand %s to the sound server (%s); the play is cut short",
                      qUtf8Printable(fileName), connection.failure());
        cutPlay(SoundDevice::Failure);
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
