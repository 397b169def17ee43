#include "playback/pulse_stream.h"

#include "playback/pulse_connection.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// How far ahead of what is heard the stream's buffer reaches.
constexpr pa_usec_t kBufferUsecs = 200'000;

} // namespace

PulseStream::PulseStream(PulseConnection &connection, int sampleRate, int channels)
    : m_connection(connection), m_sampleRate(sampleRate), m_channels(channels) {}

PulseStream::~PulseStream() {
    if (!m_stream)
        return;
    PulseLock lock(m_connection.loop());
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
}

bool PulseStream::update() {
    PulseLock lock(m_connection.loop());
    if (!m_stream) {
        pa_context *context = m_connection.context();
        const pa_context_state_t state =
            context ? pa_context_get_state(context) : PA_CONTEXT_FAILED;
        if (state != PA_CONTEXT_READY)
            return PA_CONTEXT_IS_GOOD(state);
        const pa_sample_spec format{PA_SAMPLE_S16NE, std::uint32_t(m_sampleRate),
                                    std::uint8_t(m_channels)};
        m_stream = pa_stream_new(context, "Lesson", &format, nullptr);
        if (!m_stream)
            return false;
        pa_buffer_attr buffer;
        buffer.maxlength = std::uint32_t(-1);
        buffer.tlength = std::uint32_t(pa_usec_to_bytes(kBufferUsecs, &format));
        buffer.prebuf = std::uint32_t(-1);
        buffer.minreq = std::uint32_t(-1);
        buffer.fragsize = std::uint32_t(-1);
        const auto flags = pa_stream_flags_t(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(m_stream, nullptr, &buffer, flags, nullptr, nullptr) < 0)
            return false;
    }
    return PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
}

qint64 PulseStream::bytesFree() const {
    PulseLock lock(m_connection.loop());
    if (!ready())
        return 0;
    const std::size_t free = pa_stream_writable_size(m_stream);
    return free == std::size_t(-1) ? 0 : qint64(free);
}

bool PulseStream::write(const char *data, qint64 bytes) {
    PulseLock lock(m_connection.loop());
    return ready() &&
           pa_stream_write(m_stream, data, std::size_t(bytes), nullptr, 0, PA_SEEK_RELATIVE) == 0;
}

qint64 PulseStream::processedUsecs() const {
    PulseLock lock(m_connection.loop());
    pa_usec_t usecs = 0;
    if (!ready() || pa_stream_get_time(m_stream, &usecs) < 0)
        return 0;
    return qint64(std::min<pa_usec_t>(usecs, std::numeric_limits<qint64>::max()));
}

bool PulseStream::ready() const {
    return m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY;
}
