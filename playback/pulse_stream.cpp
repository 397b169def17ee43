#include "playback/pulse_stream.h"

#include "playback/pulse_connection.h"

#include <pulse/rtclock.h>

#include <algorithm>
#include <cstdint>

namespace vovozodo {

namespace {

// How far ahead of what is heard the stream's buffer reaches, and how much of
// it is asked for at a time: one wake-up per request.
constexpr pa_usec_t kBufferUsecs = 250'000;
constexpr pa_usec_t kRequestUsecs = 100'000;

qint64 nowUsecs() {
    return qint64(pa_rtclock_now());
}

} // namespace

PulseStream::PulseStream(PulseConnection &connection, int sampleRate, int channels,
                         std::function<void()> changed)
    : m_connection(connection), m_sampleRate(sampleRate), m_channels(channels),
      m_changed(std::move(changed)) {
    PulseLock lock(m_connection.loop());
    pa_context *context = m_connection.context();
    if (!context || pa_context_get_state(context) != PA_CONTEXT_READY)
        return;
    const pa_sample_spec format{PA_SAMPLE_S16NE, std::uint32_t(sampleRate), std::uint8_t(channels)};
    m_stream.reset(pa_stream_new(context, "Lesson", &format, nullptr));
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream.get(), &PulseStream::onStateChanged, this);
    pa_stream_set_write_callback(m_stream.get(), &PulseStream::onWritable, this);
    pa_buffer_attr buffer;
    buffer.maxlength = std::uint32_t(-1);
    buffer.tlength = std::uint32_t(pa_usec_to_bytes(kBufferUsecs, &format));
    // No prebuffering: an uncorked stream plays at once, and a flushed one
    // does not wait to be refilled.
    buffer.prebuf = 0;
    buffer.minreq = std::uint32_t(pa_usec_to_bytes(kRequestUsecs, &format));
    buffer.fragsize = std::uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(m_stream.get(), nullptr, &buffer, flags, nullptr, nullptr) < 0)
        m_stream.reset();
}

PulseStream::~PulseStream() {
    if (!m_stream)
        return;
    PulseLock lock(m_connection.loop());
    // Replies still on their way find nobody waiting for them.
    for (TimingRequest &request : m_requests)
        pa_operation_cancel(request.operation.get());
    m_requests.clear();
    if (pa_stream_get_state(m_stream.get()) == PA_STREAM_CREATING) {
        // The server creates it all the same, and would keep it for as long
        // as the connection lasts: it is let go once it is there.
        pa_stream_set_write_callback(m_stream.get(), nullptr, nullptr);
        pa_stream_set_state_callback(m_stream.release(), &PulseStream::releaseOnceCreated, nullptr);
        return;
    }
    m_stream.reset();
}

bool PulseStream::isReady() const {
    if (!m_stream)
        return false;
    PulseLock lock(m_connection.loop());
    return pa_stream_get_state(m_stream.get()) == PA_STREAM_READY;
}

bool PulseStream::hasFailed() const {
    if (!m_stream)
        return true;
    PulseLock lock(m_connection.loop());
    return !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get()));
}

qint64 PulseStream::writableBytes() const {
    if (!isReady())
        return 0;
    PulseLock lock(m_connection.loop());
    const std::size_t free = pa_stream_writable_size(m_stream.get());
    return free == std::size_t(-1) ? 0 : qint64(free);
}

qint64 PulseStream::startBytes() const {
    return qint64(kBufferUsecs) * m_sampleRate / 1'000'000 * m_channels * qint64(sizeof(short));
}

bool PulseStream::write(const void *data, qint64 bytes) {
    if (!isReady())
        return false;
    PulseLock lock(m_connection.loop());
    return pa_stream_write(m_stream.get(), data, std::size_t(bytes), nullptr, 0,
                           PA_SEEK_RELATIVE) == 0;
}

void PulseStream::start() {
    if (!isReady())
        return;
    PulseLock lock(m_connection.loop());
    ++m_run;
    m_startUsecs.reset();
    m_haveTiming = false;
    m_readBytes = 0;
    // Still corked, the server's read position is where the run starts.
    sendTimingRequest(true);
    letGo(pa_stream_cork(m_stream.get(), 0, nullptr, nullptr));
}

void PulseStream::stop() {
    if (!isReady())
        return;
    PulseLock lock(m_connection.loop());
    ++m_run;
    m_startUsecs.reset();
    m_haveTiming = false;
    letGo(pa_stream_cork(m_stream.get(), 1, nullptr, nullptr));
    letGo(pa_stream_flush(m_stream.get(), nullptr, nullptr));
}

void PulseStream::requestTiming() {
    if (!isReady())
        return;
    PulseLock lock(m_connection.loop());
    sendTimingRequest(false);
}

std::optional<qint64> PulseStream::heardUsecs(qint64 extrapolateUsecs) const {
    if (!m_stream)
        return std::nullopt;
    PulseLock lock(m_connection.loop());
    if (!m_startUsecs)
        return std::nullopt;
    if (!m_haveTiming)
        return 0;
    qint64 heard = m_heardAtReplyUsecs;
    // A stream that has failed has stopped where its last reply left it.
    if (m_playingAtReply && pa_stream_get_state(m_stream.get()) == PA_STREAM_READY)
        heard += std::clamp<qint64>(nowUsecs() - m_replyAtUsecs, 0, extrapolateUsecs);
    return std::max<qint64>(0, heard);
}

qint64 PulseStream::timingAgeUsecs() const {
    if (!m_stream)
        return -1;
    PulseLock lock(m_connection.loop());
    return m_haveTiming ? nowUsecs() - m_replyAtUsecs : -1;
}

qint64 PulseStream::readBytes() const {
    if (!m_stream)
        return 0;
    PulseLock lock(m_connection.loop());
    return m_readBytes;
}

void PulseStream::sendTimingRequest(bool atStart) {
    m_requests.push_back({this, m_run, atStart, nullptr});
    TimingRequest &request = m_requests.back();
    request.operation.reset(
        pa_stream_update_timing_info(m_stream.get(), &PulseStream::onTiming, &request));
    if (!request.operation)
        m_requests.pop_back();
}

void PulseStream::timingArrived(const TimingRequest &request, bool success) {
    const pa_timing_info *info = success ? pa_stream_get_timing_info(m_stream.get()) : nullptr;
    if (request.run != m_run || !info || info->read_index_corrupt)
        return;
    const qint64 readUsecs =
        qint64(pa_bytes_to_usec(std::uint64_t(std::max<qint64>(0, info->read_index)),
                                pa_stream_get_sample_spec(m_stream.get())));
    if (request.atStart) {
        m_startUsecs = readUsecs;
        m_readBytes = info->read_index;
    } else if (m_startUsecs) {
        // What the sink still holds has not been heard. The reply is taken as
        // what is heard now, not carried forward by libpulse's transport time:
        // that is how long the request waited to be read, so a server kept
        // from running (busy cores) would make the end come early by as much.
        const qint64 sinkUsecs = qint64(info->sink_usec);
        m_heardAtReplyUsecs = readUsecs - sinkUsecs - *m_startUsecs;
        m_replyAtUsecs = nowUsecs();
        m_playingAtReply = info->playing != 0;
        m_readBytes = info->read_index;
        m_haveTiming = true;
    }
    m_changed();
}

void PulseStream::onTiming(pa_stream *, int success, void *request) {
    auto *arrived = static_cast<TimingRequest *>(request);
    PulseStream *self = arrived->stream;
    self->timingArrived(*arrived, success != 0);
    self->m_requests.remove_if([arrived](const TimingRequest &r) { return &r == arrived; });
}

void PulseStream::onStateChanged(pa_stream *stream, void *self) {
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state))
        static_cast<PulseStream *>(self)->m_changed();
}

void PulseStream::onWritable(pa_stream *, size_t, void *self) {
    static_cast<PulseStream *>(self)->m_changed();
}

// Owns the stream it was set on, until it is there or has failed.
void PulseStream::releaseOnceCreated(pa_stream *stream, void *) {
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state))
        const UniquePulseStream released(stream);
}

} // namespace vovozodo
