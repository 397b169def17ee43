#include "editor/decode_job.h"

#include "lessons/input_error.h"
#include "lessons/progress.h"
#include "lessons/recording.h"

#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

struct Cancelled {};

// Passes the decoded sound on to the level measurement unchanged and takes
// the waveform's peaks from it on the way.
class TappedRecording : public Recording {
public:
    TappedRecording(Recording &inner, const std::atomic<bool> &cancelled,
                    std::function<void(std::vector<Peak> &, double)> deliver)
        : m_inner(inner), m_cancelled(cancelled), m_deliver(std::move(deliver)) {
        m_sampleRate = inner.sampleRate();
        m_channels = inner.channels();
        m_framesHint = inner.framesHint();
        m_sinceDelivery.start();
    }

    qint64 read(float *interleaved, qint64 frames) override {
        if (m_cancelled.load())
            throw Cancelled{};
        const qint64 got = m_inner.read(interleaved, frames);
        if (got > 0) {
            m_blocks.add(interleaved, got, m_channels, m_pending);
            m_frames += got;
        } else {
            m_blocks.finish(m_pending);
        }
        // A few deliveries a second keep the window drawing without flooding it.
        if (got <= 0 || m_sinceDelivery.elapsed() >= 50) {
            const double fraction =
                m_framesHint > 0 ? std::min(1.0, double(m_frames) / double(m_framesHint)) : 0.0;
            m_deliver(m_pending, got <= 0 ? 1.0 : fraction);
            m_pending.clear();
            m_sinceDelivery.restart();
        }
        return got;
    }

private:
    Recording &m_inner;
    const std::atomic<bool> &m_cancelled;
    std::function<void(std::vector<Peak> &, double)> m_deliver;
    PeakBlocks m_blocks;
    std::vector<Peak> m_pending;
    qint64 m_frames = 0;
    QElapsedTimer m_sinceDelivery;
};

} // namespace

DecodeJob::DecodeJob(QString path, QObject *parent) : QObject(parent), m_path(std::move(path)) {}

DecodeJob::~DecodeJob() {
    cancel();
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void DecodeJob::start() {
    m_thread = QThread::create([this] { run(); });
    m_thread->start(QThread::LowPriority);
}

void DecodeJob::cancel() {
    m_cancelled = true;
}

void DecodeJob::run() {
    // Signals cross to the window's thread queued; after a cancel nothing more is sent.
    const auto send = [this](auto &&...emitted) {
        if (!m_cancelled.load())
            (emitted(), ...);
    };
    std::unique_ptr<Recording> recording;
    try {
        recording = openRecording(m_path);
    } catch (const InputError &error) {
        send([&] { emit failed(error.message()); });
        return;
    }
    try {
        send([&] { emit opened(recording->sampleRate(), recording->framesHint()); });
        TappedRecording tapped(*recording, m_cancelled, [&](std::vector<Peak> &peaks, double f) {
            send([&] { emit peaksArrived(peaks, f); });
        });
        Progress silent(false);
        auto profile = std::make_shared<const LevelProfile>(measureLevels(tapped, false, silent));
        send([&] { emit finished(profile); });
    } catch (const InputError &error) {
        send([&] { emit failed(m_path + u": "_s + error.message()); });
    } catch (const Cancelled &) {
        // Nobody waits for a cancelled decode.
    } catch (const std::exception &error) {
        send([&] { emit failed(m_path + u": "_s + QString::fromLocal8Bit(error.what())); });
    }
}

} // namespace vovozodo
