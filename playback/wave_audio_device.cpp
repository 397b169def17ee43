#include "playback/wave_audio_device.h"

#include "platform/windows_path.h"

#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QTimer>

#include <pulse/pulseaudio.h>
#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Lessons are spoken recordings. More than two channels would go to the
// default surround layout (the third of three is LFE), so such files are
// refused rather than played on the wrong speakers. The rate bounds keep out
// headers that are damaged or made up; every real recording lies inside them.
constexpr int MaxChannels = 2;
constexpr int MinSampleRate = 8000;
constexpr int MaxSampleRate = 192000;

// At most this much is decoded per read, whatever the sink asks for.
constexpr sf_count_t BlockFrames = 4096;

// The end of a play is read from the sink's clock; polled this often.
constexpr int PollIntervalMs = 5;

// A sink whose clock has not moved for this long is taken as hung. A fresh
// stream may start well over a second late on an idle server. A server that
// does not answer at all is given up on after the same time.
constexpr qint64 StallTimeoutMs = 6000;

// How far ahead of what is heard the sink's buffer reaches.
constexpr pa_usec_t SinkBufferUsecs = 200'000;

qint64 framesToUsecs(sf_count_t frames, int rate) {
    // Rounded up so that the end is never declared a sample early.
    return (qint64(frames) * 1'000'000 + rate - 1) / rate;
}

qint32 framesToMs(sf_count_t frames, int rate) {
    if (frames <= 0 || rate <= 0)
        return 0;
    return qint32(std::min<sf_count_t>(frames / rate * 1000 + frames % rate * 1000 / rate,
                                       std::numeric_limits<qint32>::max()));
}

// An open wave file: the descriptor is ours, libsndfile only borrows it.
class WaveFile {
public:
    ~WaveFile() {
        if (m_sndfile)
            sf_close(m_sndfile);
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Only regular files: a FIFO would block sf_open and a device may never
    // end. The type is checked on the descriptor itself, so a file swapped
    // for something else after the path was looked up is still caught.
    static std::unique_ptr<WaveFile> open(const QString &nativePath) {
        auto file = std::unique_ptr<WaveFile>(new WaveFile);
        file->m_fd = ::open(QFile::encodeName(nativePath).constData(),
                            O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (file->m_fd < 0)
            return nullptr;
        struct stat status {};
        if (::fstat(file->m_fd, &status) != 0 || !S_ISREG(status.st_mode))
            return nullptr;
        // Regular files never block; reads should simply wait for the disk.
        const int flags = ::fcntl(file->m_fd, F_GETFL);
        if (flags < 0 || ::fcntl(file->m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return nullptr;

        file->m_sndfile = sf_open_fd(file->m_fd, SFM_READ, &file->m_info, SF_FALSE);
        if (!file->m_sndfile)
            return nullptr;
        const SF_INFO &info = file->m_info;
        const int major = info.format & SF_FORMAT_TYPEMASK;
        if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64)
            return nullptr;
        if (info.channels < 1 || info.channels > MaxChannels || info.samplerate < MinSampleRate ||
            info.samplerate > MaxSampleRate || info.frames < 0)
            return nullptr;
        // Float data outside [-1, 1] would otherwise wrap around when
        // converted to 16 bits.
        sf_command(file->m_sndfile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        return file;
    }

    int channels() const { return m_info.channels; }
    int sampleRate() const { return m_info.samplerate; }
    sf_count_t frames() const { return m_info.frames; }
    // Some encodings cannot seek (libsndfile's GSM 6.10 among them): those are
    // decoded again from the start up to the frame.
    bool seek(sf_count_t frame) {
        if (frame == m_readFrames)
            return true;
        if (m_info.seekable) {
            if (sf_seek(m_sndfile, frame, SEEK_SET) != frame)
                return false;
            m_readFrames = frame;
            return true;
        }
        if (!reopen())
            return false;
        std::vector<short> skipped(std::size_t(BlockFrames) * std::size_t(m_info.channels));
        while (m_readFrames < frame) {
            const sf_count_t wanted = std::min(BlockFrames, frame - m_readFrames);
            if (read(skipped.data(), wanted) != wanted)
                return false;
        }
        return true;
    }
    sf_count_t read(short *out, sf_count_t frames) {
        if (!m_sndfile)
            return 0;
        const sf_count_t got = sf_readf_short(m_sndfile, out, frames);
        m_readFrames += std::max<sf_count_t>(0, got);
        return got;
    }

    pa_sample_spec sampleFormat() const {
        return {PA_SAMPLE_S16NE, std::uint32_t(m_info.samplerate), std::uint8_t(m_info.channels)};
    }

private:
    WaveFile() = default;

    // Reads the file afresh from its start, on the same descriptor. Anything
    // that reads differently now (the file was rewritten in place) is refused:
    // the blocks are sized for the layout read at open.
    bool reopen() {
        sf_close(m_sndfile);
        m_sndfile = nullptr;
        m_readFrames = 0;
        if (::lseek(m_fd, 0, SEEK_SET) != 0)
            return false;
        SF_INFO info{};
        m_sndfile = sf_open_fd(m_fd, SFM_READ, &info, SF_FALSE);
        if (!m_sndfile)
            return false;
        if (info.channels != m_info.channels || info.samplerate != m_info.samplerate ||
            info.format != m_info.format) {
            sf_close(m_sndfile);
            m_sndfile = nullptr;
            return false;
        }
        sf_command(m_sndfile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        return true;
    }

    int m_fd = -1;
    SNDFILE *m_sndfile = nullptr;
    SF_INFO m_info{};
    sf_count_t m_readFrames = 0; // where the next read starts
};

// What is written to the sink: 16-bit frames of the file from the current
// position to its end, then silence for as long as the sink takes more.
// The silence keeps the stream running until its clock has passed the last
// real sample; a stream that just runs dry may never start (a short file
// below the server's prebuffer) or stop its clock a little early.
class WaveStream final : public QIODevice {
public:
    WaveStream(WaveFile &file, sf_count_t framesToPlay) : m_file(file), m_left(framesToPlay) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return false; }
    qint64 bytesAvailable() const override {
        return BlockFrames * frameBytes() + QIODevice::bytesAvailable();
    }
    // The file ended or failed before all of its frames were read.
    bool readFailed() const { return m_readFailed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override {
        const sf_count_t wanted = std::min<qint64>(maxSize / frameBytes(), BlockFrames);
        sf_count_t fromFile = 0;
        if (m_left > 0 && !m_readFailed) {
            // libsndfile may not read into the caller's buffer directly:
            // its alignment is not guaranteed.
            m_block.resize(std::size_t(wanted) * std::size_t(m_file.channels()));
            fromFile =
                std::max<sf_count_t>(0, m_file.read(m_block.data(), std::min(wanted, m_left)));
            if (fromFile < std::min(wanted, m_left))
                m_readFailed = true;
            m_left -= fromFile;
            std::memcpy(data, m_block.data(), std::size_t(fromFile * frameBytes()));
        }
        std::memset(data + fromFile * frameBytes(), 0,
                    std::size_t((wanted - fromFile) * frameBytes()));
        return wanted * frameBytes();
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 frameBytes() const { return qint64(m_file.channels()) * qint64(sizeof(short)); }

    WaveFile &m_file;
    sf_count_t m_left;
    bool m_readFailed = false;
    std::vector<short> m_block;
};

class PulseLock {
public:
    explicit PulseLock(pa_threaded_mainloop *loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~PulseLock() { pa_threaded_mainloop_unlock(m_loop); }
    PulseLock(const PulseLock &) = delete;
    PulseLock &operator=(const PulseLock &) = delete;

private:
    pa_threaded_mainloop *m_loop;
};

// The connection to the sound server, run by libpulse on a thread of its own.
// Nothing here waits for the server: a server that has died or stopped
// answering can never block the caller. A connection that has failed is
// dropped and the next play connects afresh, so a server that has come back
// (or a new one at the same address) is used again. The toolkit's own audio
// output is not used for this reason: once its one reconnection attempt, three
// seconds after the server went away, finds no server, it never plays again,
// and a stream that fails while it is being set up blocks its start() for good.
class PulseConnection {
public:
    PulseConnection() = default;
    ~PulseConnection() {
        if (!m_loop)
            return;
        {
            PulseLock lock(m_loop);
            dropContext();
        }
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
    }
    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    // Starts connecting unless connected or connecting; false when that
    // cannot even begin (no server at the address, for one).
    bool connect() {
        if (!m_loop) {
            m_loop = pa_threaded_mainloop_new();
            if (!m_loop)
                return false;
            if (pa_threaded_mainloop_start(m_loop) < 0) {
                pa_threaded_mainloop_free(m_loop);
                m_loop = nullptr;
                return false;
            }
        }
        PulseLock lock(m_loop);
        if (m_context && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
            return true;
        dropContext();
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Vovozodo");
        if (!m_context)
            return false;
        // Never start a server: that would run (and wait for) a daemon from the
        // user-interface thread, on every play while none can start.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            dropContext();
            return false;
        }
        return true;
    }

    pa_threaded_mainloop *loop() const { return m_loop; }
    // Only with the loop locked.
    pa_context *context() const { return m_context; }

private:
    void dropContext() {
        if (!m_context)
            return;
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
};

// One play's stream on the server, written to by the device. It is set up
// as soon as the connection is ready; until then, and until the server has
// taken the stream, it takes nothing and its clock reads 0.
class PulseSink {
public:
    PulseSink(PulseConnection &connection, const pa_sample_spec &format)
        : m_connection(connection), m_format(format) {}
    ~PulseSink() {
        if (!m_stream)
            return;
        PulseLock lock(m_connection.loop());
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    PulseSink(const PulseSink &) = delete;
    PulseSink &operator=(const PulseSink &) = delete;

    // Moves the set-up on; false once the stream or its connection has failed.
    bool update() {
        PulseLock lock(m_connection.loop());
        if (!m_stream) {
            pa_context *context = m_connection.context();
            const pa_context_state_t state =
                context ? pa_context_get_state(context) : PA_CONTEXT_FAILED;
            if (state != PA_CONTEXT_READY)
                return PA_CONTEXT_IS_GOOD(state);
            m_stream = pa_stream_new(context, "Lesson", &m_format, nullptr);
            if (!m_stream)
                return false;
            pa_buffer_attr buffer;
            buffer.maxlength = std::uint32_t(-1);
            buffer.tlength = std::uint32_t(pa_usec_to_bytes(SinkBufferUsecs, &m_format));
            buffer.prebuf = std::uint32_t(-1);
            buffer.minreq = std::uint32_t(-1);
            buffer.fragsize = std::uint32_t(-1);
            const auto flags =
                pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                  PA_STREAM_ADJUST_LATENCY);
            if (pa_stream_connect_playback(m_stream, nullptr, &buffer, flags, nullptr, nullptr) < 0)
                return false;
        }
        return PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
    }

    qint64 bytesFree() const {
        PulseLock lock(m_connection.loop());
        if (!ready())
            return 0;
        const std::size_t free = pa_stream_writable_size(m_stream);
        return free == std::size_t(-1) ? 0 : qint64(free);
    }

    // Whole frames only; the server copies them.
    bool write(const char *data, qint64 bytes) {
        PulseLock lock(m_connection.loop());
        return ready() && pa_stream_write(m_stream, data, std::size_t(bytes), nullptr, 0,
                                          PA_SEEK_RELATIVE) == 0;
    }

    // What has been heard of the stream so far.
    qint64 processedUsecs() const {
        PulseLock lock(m_connection.loop());
        pa_usec_t usecs = 0;
        if (!ready() || pa_stream_get_time(m_stream, &usecs) < 0)
            return 0;
        return qint64(std::min<pa_usec_t>(usecs, std::numeric_limits<qint64>::max()));
    }

private:
    bool ready() const { return m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY; }

    PulseConnection &m_connection;
    pa_sample_spec m_format;
    pa_stream *m_stream = nullptr;
};

} // namespace

struct WaveAudioDevice::Private {
    explicit Private(WaveAudioDevice *q) : q(q) {
        poll.setTimerType(Qt::PreciseTimer);
        poll.setInterval(PollIntervalMs);
        QObject::connect(&poll, &QTimer::timeout, q, [this] { checkPlay(); });
    }

    WaveAudioDevice *q;
    QString fileName;
    bool notify = false;

    std::unique_ptr<WaveFile> file;
    sf_count_t positionFrame = 0; // where the next play starts

    // Outlives every sink made on it.
    PulseConnection connection;
    // The current play; the sink is destroyed before the stream that feeds it.
    std::unique_ptr<WaveStream> stream;
    std::unique_ptr<PulseSink> sink;
    QByteArray block; // read from the stream, on its way to the sink
    sf_count_t playStartFrame = 0;
    qint64 playUsecs = 0; // audible length of the play
    bool playNotify = false;
    qint64 lastProcessed = -1;
    QElapsedTimer sinceProgress;
    QTimer poll;

    bool playing() const { return sink != nullptr; }

    // The caller's handlers are not re-entrant: done() always arrives as an
    // event of its own, never from inside a command.
    void postDone(qint16 code) {
        QMetaObject::invokeMethod(
            q, [q = q, code] { emit q->done(code); }, Qt::QueuedConnection);
    }

    qint64 processedUsecs() const { return sink ? sink->processedUsecs() : 0; }

    sf_count_t heardFrame() const {
        if (!playing())
            return positionFrame;
        // A failed sink's clock reads 0; keep what was heard before.
        const qint64 usecs = std::max(processedUsecs(), lastProcessed);
        const sf_count_t heard = usecs * file->sampleRate() / 1'000'000;
        return std::min(file->frames(), playStartFrame + heard);
    }

    void releasePlay() {
        poll.stop();
        sink.reset();
        block.clear();
        stream.reset();
    }

    // Tops the sink's buffer up; it holds far more than one poll interval.
    void feed() {
        qint64 room = sink->bytesFree();
        while (room > 0) {
            block.resize(room);
            const qint64 got = stream->read(block.data(), room);
            if (got <= 0 || !sink->write(block.constData(), got))
                return;
            room -= got;
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
        std::unique_ptr<WaveFile> opened = WaveFile::open(*native);
        if (!opened)
            return;
        const pa_sample_spec format = opened->sampleFormat();
        if (!pa_sample_spec_valid(&format))
            return;
        file = std::move(opened);
        // The play that follows finds the connection ready or on its way.
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
        stream = std::make_unique<WaveStream>(*file, file->frames() - positionFrame);
        sink = std::make_unique<PulseSink>(connection, file->sampleFormat());
        if (!sink->update()) {
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

    // The play ends when the sink's clock, which follows what has been heard,
    // passes its last sample. A server that goes away fails the stream; one
    // that stops answering stops its clock.
    void checkPlay() {
        if (!playing())
            return;
        // Before the clock is read: a failed stream's clock reads 0, and the
        // position stays where the play was cut.
        if (!sink->update()) {
            cutPlay(SoundDevice::Failure);
            return;
        }
        feed();
        const qint64 processed = processedUsecs();
        if (processed != lastProcessed) {
            lastProcessed = processed;
            sinceProgress.start();
        }
        if (stream->readFailed() || sinceProgress.elapsed() > StallTimeoutMs) {
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
