#include "playback/wave_audio_device.h"

#include "platform/windows_path.h"
#include "playback/pulse_connection.h"
#include "playback/pulse_stream.h"
#include "playback/wave_file.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Frames = WaveFile::Frames;

// At most this much is decoded per read, whatever the stream asks for.
constexpr Frames kBlockFrames = 4096;

// The end of a play is read from the stream's clock; polled this often.
constexpr int kPollIntervalMs = 5;

// A stream whose clock has not moved for this long is taken as hung. A fresh
// stream may start well over a second late on an idle server. A server that
// does not answer at all is given up on after the same time.
constexpr qint64 kStallTimeoutMs = 6000;

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

struct WaveAudioDevice::Private {
    explicit Private(WaveAudioDevice *q) : q(q) {
        poll.setTimerType(Qt::PreciseTimer);
        poll.setInterval(kPollIntervalMs);
        QObject::connect(&poll, &QTimer::timeout, q, [this] { checkPlay(); });
    }

    WaveAudioDevice *q;
    QString fileName;
    bool notify = false;

    std::unique_ptr<WaveFile> file;
    Frames positionFrame = 0; // where the next play starts

    // Outlives every stream made on it.
    PulseConnection connection;
    // The current play.
    std::unique_ptr<PulseStream> stream;
    std::vector<short> block; // decoded, on its way to the stream
    Frames playStartFrame = 0;
    Frames framesLeft = 0; // of the file, still to be written
    bool readFailed = false;
    qint64 playUsecs = 0; // audible length of the play
    bool playNotify = false;
    qint64 lastProcessed = -1;
    QElapsedTimer sinceProgress;
    QTimer poll;

    bool playing() const { return stream != nullptr; }

    // The caller's handlers are not re-entrant: done() always arrives as an
    // event of its own, never from inside a command.
    void postDone(qint16 code) {
        QMetaObject::invokeMethod(
            q, [q = q, code] { emit q->done(code); }, Qt::QueuedConnection);
    }

    qint64 processedUsecs() const { return stream ? stream->processedUsecs() : 0; }

    Frames heardFrame() const {
        if (!playing())
            return positionFrame;
        // A failed stream's clock reads 0; keep what was heard before.
        const qint64 usecs = std::max(processedUsecs(), lastProcessed);
        const Frames heard = usecs * file->sampleRate() / 1'000'000;
        return std::min(file->frames(), playStartFrame + heard);
    }

    void releasePlay() {
        poll.stop();
        stream.reset();
        block.clear();
    }

    // What is written to the stream: the file's frames from the play's start
    // to its end, then silence for as long as the stream takes more. The
    // silence keeps the stream running until its clock has passed the last
    // real sample; a stream that just runs dry may never start (a short file
    // below the server's prebuffer) or stop its clock a little early.
    Frames fill(Frames wanted) {
        wanted = std::min(wanted, kBlockFrames);
        block.resize(std::size_t(wanted) * std::size_t(file->channels()));
        Frames fromFile = 0;
        if (framesLeft > 0 && !readFailed) {
            const Frames asked = std::min(wanted, framesLeft);
            fromFile = file->read(block.data(), asked);
            readFailed = fromFile < asked;
            framesLeft -= fromFile;
        }
        std::fill(block.begin() + std::ptrdiff_t(fromFile * file->channels()), block.end(),
                  short(0));
        return wanted;
    }

    // Tops the stream's buffer up; it holds far more than one poll interval.
    void feed() {
        const qint64 frameBytes = file->frameBytes();
        Frames room = stream->bytesFree() / frameBytes;
        while (room > 0) {
            const Frames frames = fill(room);
            if (!stream->write(reinterpret_cast<const char *>(block.data()), frames * frameBytes))
                return;
            room -= frames;
        }
    }

    // Ends the current play before its end; `code` goes to a notifying play.
    void cutPlay(qint16 code) {
        if (!playing())
            return;
        const bool notified = playNotify;
        positionFrame = heardFrame();
        releasePlay();
        if (notified)
            postDone(code);
    }

    void close() {
        cutPlay(SoundDevice::Aborted);
        file.reset();
        positionFrame = 0;
    }

    void open() {
        close();
        platform::WindowsPathResolver resolver;
        const std::optional<QString> native = resolver.resolve(fileName);
        if (!native || !resolver.isRegularFile(fileName))
            return;
        file = WaveFile::open(*native);
        // The play that follows finds the connection ready or on its way.
        if (file)
            connection.connect();
    }

    void rewind() {
        cutPlay(SoundDevice::Aborted);
        positionFrame = 0;
    }

    void play(bool withNotify) {
        if (!file)
            return;
        if (playing()) {
            // Keeps playing; a new request for notification takes over.
            if (withNotify) {
                if (playNotify)
                    postDone(SoundDevice::Superseded);
                playNotify = true;
            }
            return;
        }
        if (positionFrame < file->frames() && !file->seek(positionFrame))
            return;
        // Without a server the play fails at once and, as ever, says nothing.
        if (!connection.connect())
            return;
        stream = std::make_unique<PulseStream>(connection, file->sampleRate(), file->channels());
        framesLeft = file->frames() - positionFrame;
        readFailed = false;
        if (!stream->update()) {
            releasePlay();
            return;
        }
        feed();
        playStartFrame = positionFrame;
        playUsecs = framesToUsecs(file->frames() - positionFrame, file->sampleRate());
        playNotify = withNotify;
        lastProcessed = -1;
        sinceProgress.start();
        poll.start();
    }

    // The play ends when the stream's clock, which follows what has been
    // heard, passes its last sample. A server that goes away fails the
    // stream; one that stops answering stops its clock.
    void checkPlay() {
        if (!playing())
            return;
        // Before the clock is read: a failed stream's clock reads 0, and the
        // position stays where the play was cut.
        if (!stream->update()) {
            cutPlay(SoundDevice::Failure);
            return;
        }
        feed();
        const qint64 processed = processedUsecs();
        if (processed != lastProcessed) {
            lastProcessed = processed;
            sinceProgress.start();
        }
        if (readFailed || sinceProgress.elapsed() > kStallTimeoutMs) {
            cutPlay(SoundDevice::Failure);
            return;
        }
        if (processed < playUsecs)
            return;
        const bool notified = playNotify;
        releasePlay();
        positionFrame = file->frames();
        if (notified)
            postDone(SoundDevice::Successful);
    }
};

WaveAudioDevice::WaveAudioDevice(QObject *parent)
    : SoundDevice(parent), d(std::make_unique<Private>(this)) {}

WaveAudioDevice::~WaveAudioDevice() {
    d->releasePlay();
}

// Only wave audio is ever asked for; there is nothing to choose.
void WaveAudioDevice::setDeviceType(const QString &) {}

void WaveAudioDevice::setFileName(const QString &windowsPath) {
    d->fileName = windowsPath;
}

void WaveAudioDevice::setCommand(const QString &command) {
    if (command == u"Close"_s) {
        d->close();
    } else if (command == u"Open"_s) {
        d->open();
    } else if (command == u"Play"_s) {
        d->play(d->notify);
    } else if (command == u"Prev"_s) {
        d->rewind();
    }
}

void WaveAudioDevice::setNotify(bool notify) {
    d->notify = notify;
}

// Commands never block here, and the device is never shared.
void WaveAudioDevice::setWait(bool) {}
void WaveAudioDevice::setShareable(bool) {}
// Milliseconds is the only time format.
void WaveAudioDevice::setTimeFormat(qint32) {}

qint32 WaveAudioDevice::length() const {
    return d->file ? framesToMs(d->file->frames(), d->file->sampleRate()) : 0;
}

qint32 WaveAudioDevice::position() const {
    return d->file ? framesToMs(d->heardFrame(), d->file->sampleRate()) : 0;
}
