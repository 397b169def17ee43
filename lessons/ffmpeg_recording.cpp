#include "lessons/ffmpeg_recording.h"

#include "lessons/input_error.h"
#include "lessons/logging.h"

#include <QFile>

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// Sound that starts later than this after the picture is refused rather than
// preceded by that much silence.
constexpr double kMaxLateStartSeconds = 3600;

QString reason(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// FFmpeg's own notes on what it reads (broken frames, guessed formats) are
// debug output on request; our one line about the file is the error itself.
void forwardFfmpegLog(void *, int level, const char *format, va_list args) {
    if (level > AV_LOG_WARNING || !lcLessons().isDebugEnabled())
        return;
    char line[1024];
    std::vsnprintf(line, sizeof line, format, args);
    qCDebug(lcLessons, "FFmpeg: %s", QByteArray(line).trimmed().constData());
}

} // namespace

FfmpegRecording::FfmpegRecording(const QString &path) : m_path(path) {
    av_log_set_callback(&forwardFfmpegLog);
    AVFormatContext *opened = nullptr;
    int code = avformat_open_input(&opened, QFile::encodeName(path).constData(), nullptr, nullptr);
    m_format.reset(opened);
    if (code < 0)
        throw InputError(reason(code));
    if ((code = avformat_find_stream_info(m_format.get(), nullptr)) < 0)
        throw InputError(reason(code));
    const AVCodec *decoder = nullptr;
    m_stream = av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_stream < 0 || !decoder)
        throw InputError(u"no sound stream that can be decoded"_s);
    const AVStream *stream = m_format->streams[m_stream];
    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), stream->codecpar) < 0)
        throw InputError(u"cannot set up the decoder"_s);
    m_codec->pkt_timebase = stream->time_base;
    if ((code = avcodec_open2(m_codec.get(), decoder, nullptr)) < 0)
        throw InputError(reason(code));
    m_sampleRate = m_codec->sample_rate;
    m_channels = m_codec->ch_layout.nb_channels;
    if (m_sampleRate <= 0 || m_channels <= 0)
        throw InputError(u"no sound in the file"_s);
    SwrContext *resampler = nullptr;
    code = swr_alloc_set_opts2(&resampler, &m_codec->ch_layout, AV_SAMPLE_FMT_FLT, m_sampleRate,
                               &m_codec->ch_layout, m_codec->sample_fmt, m_sampleRate, 0, nullptr);
    m_resampler.reset(resampler);
    if (code < 0 || (code = swr_init(m_resampler.get())) < 0)
        throw InputError(reason(code));
    if (m_format->duration > 0)
        m_framesHint = qint64(double(m_format->duration) / AV_TIME_BASE * m_sampleRate);
    m_packet.reset(av_packet_alloc());
    m_frame.reset(av_frame_alloc());
    if (!m_packet || !m_frame)
        throw InputError(u"out of memory"_s);
}

void FfmpegRecording::fail(const char *step, int code) {
    throw InputError(m_path + u": cannot decode ("_s + QLatin1StringView(step) + u"): "_s +
                     reason(code));
}

void FfmpegRecording::takeFrame() {
    if (m_firstFrame) {
        m_firstFrame = false;
        // Subtitles are timed on the container's timeline, whose zero is its earliest
        // stream. Sound that starts later (a video whose sound begins after its
        // picture) is preceded by silence so that sample k plays at k / rate.
        const AVStream *stream = m_format->streams[m_stream];
        const qint64 pts = m_frame->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE) {
            double start = double(pts) * av_q2d(stream->time_base);
            if (m_format->start_time != AV_NOPTS_VALUE)
                start -= double(m_format->start_time) / AV_TIME_BASE;
            if (start > kMaxLateStartSeconds)
                throw InputError(m_path + u": the sound starts "_s +
                                 QString::number(start, 'f', 0) +
                                 u" s after the picture; more than an hour is no lesson"_s);
            const auto offset = qint64(std::llround(start * m_sampleRate));
            if (offset > 0)
                m_silentFrames = offset;
            else
                m_dropFrames = -offset;
        }
    }
    const int room = swr_get_out_samples(m_resampler.get(), m_frame->nb_samples);
    const std::size_t old = m_pending.size();
    m_pending.resize(old + std::size_t(std::max(room, 0)) * std::size_t(m_channels));
    auto *out = reinterpret_cast<uint8_t *>(m_pending.data() + old);
    const int got =
        swr_convert(m_resampler.get(), &out, room,
                    const_cast<const uint8_t **>(m_frame->extended_data), m_frame->nb_samples);
    if (got < 0)
        fail("conversion", got);
    m_pending.resize(old + std::size_t(got) * std::size_t(m_channels));
}

void FfmpegRecording::decodeMore() {
    while (m_pending.size() == m_pendingStart && !m_ended) {
        m_pending.clear();
        m_pendingStart = 0;
        int code = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (code == 0) {
            takeFrame();
            av_frame_unref(m_frame.get());
            continue;
        }
        if (code == AVERROR_EOF) {
            m_ended = true;
            break;
        }
        if (code != AVERROR(EAGAIN))
            fail("frame", code);
        if (m_flushing) {
            m_ended = true;
            break;
        }
        code = av_read_frame(m_format.get(), m_packet.get());
        if (code == AVERROR_EOF) {
            m_flushing = true;
            avcodec_send_packet(m_codec.get(), nullptr);
            continue;
        }
        if (code < 0)
            fail("read", code);
        if (m_packet->stream_index == m_stream) {
            code = avcodec_send_packet(m_codec.get(), m_packet.get());
            // A damaged packet is skipped, as players do; the timeline stays put.
            if (code < 0 && code != AVERROR(EAGAIN) && code != AVERROR_INVALIDDATA)
                fail("packet", code);
        }
        av_packet_unref(m_packet.get());
    }
}

qint64 FfmpegRecording::read(float *interleaved, qint64 frames) {
    qint64 done = 0;
    const auto channels = std::size_t(m_channels);
    while (done < frames) {
        decodeMore();
        if (m_silentFrames > 0) {
            const qint64 take = std::min(m_silentFrames, frames - done);
            std::fill_n(interleaved + std::size_t(done) * channels, std::size_t(take) * channels,
                        0.0f);
            m_silentFrames -= take;
            done += take;
            continue;
        }
        if (m_pending.size() == m_pendingStart)
            break;
        auto available = qint64((m_pending.size() - m_pendingStart) / channels);
        if (m_dropFrames > 0) {
            const qint64 dropped = std::min(available, m_dropFrames);
            m_dropFrames -= dropped;
            m_pendingStart += std::size_t(dropped) * channels;
            continue;
        }
        const qint64 take = std::min(available, frames - done);
        std::memcpy(interleaved + std::size_t(done) * channels, m_pending.data() + m_pendingStart,
                    std::size_t(take) * channels * sizeof(float));
        m_pendingStart += std::size_t(take) * channels;
        done += take;
    }
    return done;
}

} // namespace vovozodo
