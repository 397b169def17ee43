#include "playback/wave_audio_device.h"

#include "platform/windows_path.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>

#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
// stream may start well over a second late on an idle server.
constexpr qint64 StallTimeoutMs = 6000;

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

    QAudioFormat format() const {
        QAudioFormat format;
        format.setSampleRate(m_info.samplerate);
        format.setChannelCount(m_info.channels);
        format.setSampleFormat(QAudioFormat::Int16);
        return format;
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
    QAudioDevice output;
    sf_count_t positionFrame = 0; // where the next play starts

    // The current play; the sink is destroyed before the stream that feeds it.
    std::unique_ptr<WaveStream> stream;
    std::unique_ptr<QAudioSink> sink;
    QIODevice *sinkInput = nullptr; // owned by the sink
    QByteArray unwritten;           // read from the stream, not yet taken by the sink
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

    qint64 processedUsecs() const { return sink ? std::max<qint64>(0, sink->processedUSecs()) : 0; }

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
        if (sink)
            sink->stop();
        sink.reset();
        sinkInput = nullptr;
        unwritten.clear();
        stream.reset();
    }

    // Tops the sink's buffer up; it holds far more than one poll interval.
    void feed() {
        qint64 room = sink->bytesFree();
        while (room > 0) {
            if (unwritten.isEmpty()) {
                unwritten.resize(room);
                unwritten.resize(std::max<qint64>(0, stream->read(unwritten.data(), room)));
                if (unwritten.isEmpty())
                    return;
            }
            const qint64 written = sinkInput->write(unwritten);
            if (written <= 0)
                return;
            unwritten.remove(0, written);
            room -= written;
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
        output = QAudioDevice();
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
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(opened->format()))
            return;
        file = std::move(opened);
        output = device;
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
        stream = std::make_unique<WaveStream>(*file, file->frames() - positionFrame);
        sink = std::make_unique<QAudioSink>(output, file->format());
        // Written to, not read from: a sink that pulls takes its first block
        // only at its first period tick, 20 ms after start, and every play,
        // so every pause, would start that much late.
        sinkInput = sink->start();
        // Without a server start() fails at once and says so only here.
        if (!sinkInput || sink->error() != QAudio::NoError ||
            sink->state() == QAudio::StoppedState) {
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
    // passes its last sample. The sink goes idle earlier than that, so its
    // state only tells us about failures.
    void checkPlay() {
        if (!playing())
            return;
        feed();
        const qint64 processed = processedUsecs();
        const bool failed =
            stream->readFailed() || (sink->state() == QAudio::StoppedState) ||
            (sink->error() != QAudio::NoError && sink->error() != QAudio::UnderrunError);
        if (processed != lastProcessed) {
            lastProcessed = processed;
            sinceProgress.start();
        }
        if (failed || sinceProgress.elapsed() > StallTimeoutMs) {
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
