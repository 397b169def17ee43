#include "playback/play_run.h"

#include "playback/end_of_play.h"
#include "playback/pulse_stream.h"

#include <algorithm>

namespace vovozodo {

namespace {

// The watchdog looks this often.
constexpr int kWatchdogMs = 1000;

// The position shown between replies runs on by at most this much; replies
// are asked for about twice as often.
constexpr qint64 kShownRunOnUsecs = 1'000'000;
constexpr qint64 kTimingEveryUsecs = 500'000;

qint64 framesToUsecs(PlayRun::Frames frames, int rate) {
    // Rounded up so that the end is never declared a sample early.
    return (qint64(frames) * 1'000'000 + rate - 1) / rate;
}

} // namespace

PlayRun::PlayRun(QObject *context, const std::unique_ptr<PulseStream> &stream, Listener listener)
    : m_stream(stream), m_listener(std::move(listener)), m_endAlarm(context, [this] {
          if (m_stream && m_phase == Phase::Running)
              endAlarmFired();
          m_listener.looked();
      }) {
    m_watchdog.setInterval(kWatchdogMs);
    m_watchdog.setTimerType(Qt::VeryCoarseTimer);
    QObject::connect(&m_watchdog, &QTimer::timeout, context, [this] {
        checkStall();
        m_listener.looked();
    });
}

void PlayRun::begin(WaveFile &file, Frames startFrame) {
    const Frames frames = file.frames() - startFrame;
    m_file = &file;
    m_startFrame = startFrame;
    m_playUsecs = framesToUsecs(frames, file.sampleRate());
    m_feed.begin(file, frames);
    m_heardUsecs = 0;
    m_phase = Phase::WaitingForStream;
    m_sinceProgress.start();
    m_watchdog.start();
}

void PlayRun::streamChanged() {
    if (m_phase == Phase::WaitingForStream && m_stream && m_stream->isReady())
        startRunning();
    else if (m_phase == Phase::Running && m_stream)
        keepRunning();
}

void PlayRun::stop() {
    if (m_stream)
        m_stream->stop();
    m_phase = Phase::None;
    m_endAlarm.stop();
    m_watchdog.stop();
}

PlayRun::Frames PlayRun::heardFrame() const {
    if (m_stream) {
        if (const std::optional<qint64> heard = m_stream->heardUsecs(kShownRunOnUsecs))
            m_heardUsecs = std::max(m_heardUsecs, *heard);
    }
    const Frames heard = std::min(m_heardUsecs, m_playUsecs) * m_file->sampleRate() / 1'000'000;
    return std::min(m_file->frames(), m_startFrame + heard);
}

void PlayRun::startRunning() {
    m_phase = Phase::Running;
    m_lastReadBytes = -1;
    m_sinceProgress.start();
    if (!m_feed.writeTo(*m_stream, m_stream->startBytes())) {
        m_listener.failed(Fault::NotHandedOver);
        return;
    }
    m_stream->start();
    checkEnd();
}

void PlayRun::keepRunning() {
    const qint64 wanted = m_stream->writableBytes();
    if (wanted > 0) {
        if (!m_feed.writeTo(*m_stream, wanted)) {
            m_listener.failed(Fault::NotHandedOver);
            return;
        }
        const qint64 age = m_stream->timingAgeUsecs();
        if (age < 0 || age > kTimingEveryUsecs)
            m_stream->requestTiming();
    }
    const qint64 readBytes = m_stream->readBytes();
    if (readBytes != m_lastReadBytes) {
        m_lastReadBytes = readBytes;
        m_sinceProgress.start();
    }
    checkEnd();
}

// Once the last sample is written, one alarm waits for the end, asking for
// the stream's clock shortly before it is due.
void PlayRun::checkEnd() {
    if (m_feed.framesLeft() > 0)
        return;
    const EndStep step =
        nextEndStep(m_playUsecs, m_stream->heardUsecs(kShownRunOnUsecs).value_or(0),
                    m_stream->timingAgeUsecs());
    switch (step.kind) {
    case EndStep::Ended:
        m_listener.ended();
        break;
    case EndStep::AskNow:
        m_endAlarm.stop();
        m_stream->requestTiming();
        break;
    case EndStep::Wait:
        m_endAlarm.start(std::min<qint64>(step.waitUsecs, kWatchdogMs * 1000));
        break;
    }
}

void PlayRun::endAlarmFired() {
    if (isFreshReading(m_stream->timingAgeUsecs()))
        checkEnd();
    else
        m_stream->requestTiming();
}

void PlayRun::checkStall() {
    if (m_sinceProgress.elapsed() > kStallTimeoutMs)
        m_listener.failed(Fault::Stalled);
    else if (m_stream)
        m_stream->requestTiming();
}

} // namespace vovozodo
