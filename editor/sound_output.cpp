#include "editor/sound_output.h"

#include "lessons/input_error.h"

#include <QThread>

#include <pulse/error.h>
#include <pulse/simple.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

struct SimpleStreamCloser {
    void operator()(pa_simple *stream) const { pa_simple_free(stream); }
};
using SimpleStream = std::unique_ptr<pa_simple, SimpleStreamCloser>;

// Small writes: a stop is heard within a few tens of milliseconds.
constexpr qint64 kWriteFrames = 1024;

} // namespace

SoundOutput::SoundOutput(QObject *parent) : QObject(parent) {}

SoundOutput::~SoundOutput() {
    stop();
}

void SoundOutput::stop() {
    if (!m_thread)
        return;
    m_stop = true;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_heard = -1;
}

qint64 SoundOutput::heardSample() const {
    return m_heard.load();
}

void SoundOutput::play(std::function<ClipSound()> render) {
    stop();
    m_stop = false;
    m_playing = true;
    m_thread = QThread::create([this, render = std::move(render)] {
        try {
            run(render());
            m_heard = -1;
            m_playing = false;
        } catch (const InputError &error) {
            m_playing = false;
            QMetaObject::invokeMethod(this,
                                      [this, reason = error.message()] { emit failed(reason); });
        }
    });
    connect(m_thread, &QThread::finished, this, [this] {
        if (!m_playing.load())
            emit finished();
    });
    m_thread->start();
}

void SoundOutput::run(const ClipSound &sound) {
    pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(sound.sampleRate), uint8_t(sound.channels)};
    int error = 0;
    SimpleStream stream(pa_simple_new(nullptr, "vovozodo-editor", PA_STREAM_PLAYBACK, nullptr,
                                      "Clip", &format, nullptr, nullptr, &error));
    if (!stream) {
        m_playing = false;
        const QString reason = QString::fromLocal8Bit(pa_strerror(error));
        QMetaObject::invokeMethod(this, [this, reason] { emit failed(reason); });
        return;
    }
    const auto frames = qint64(sound.samples.size()) / std::max(sound.channels, 1);
    qint64 written = 0;
    const auto heardNow = [&] {
        const pa_usec_t latency = pa_simple_get_latency(stream.get(), &error);
        const qint64 queued = qint64(latency) * sound.sampleRate / 1000000;
        m_heard = sound.first + qint64(double(std::max<qint64>(0, written - queued)) * sound.tempo);
    };
    while (written < frames && !m_stop.load()) {
        const qint64 take = std::min(kWriteFrames, frames - written);
        if (pa_simple_write(stream.get(), sound.samples.data() + written * sound.channels,
                            std::size_t(take * sound.channels) * sizeof(qint16), &error) < 0)
            break;
        written += take;
        heardNow();
    }
    if (m_stop.load()) {
        pa_simple_flush(stream.get(), &error);
    } else {
        // The rest plays out while the playhead keeps following it.
        while (!m_stop.load() && pa_simple_get_latency(stream.get(), &error) > 20000) {
            heardNow();
            QThread::msleep(15);
        }
        if (!m_stop.load())
            pa_simple_drain(stream.get(), &error);
    }
    m_heard = -1;
    m_playing = false;
}

} // namespace vovozodo
