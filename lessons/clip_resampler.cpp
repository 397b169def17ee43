#include "lessons/clip_resampler.h"

#include "lessons/input_error.h"
#include "library/playable_sound.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr int kRateAboveRange = 48000;

} // namespace

int clipSampleRate(int sourceRate) {
    if (sourceRate < kMinPlayableRate)
        return kMinPlayableRate;
    if (sourceRate > kMaxPlayableRate)
        return kRateAboveRange;
    return sourceRate;
}

ClipResampler::ClipResampler(int channels, int fromRate, int toRate) : m_channels(channels) {
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    SwrContext *context = nullptr;
    const int code = swr_alloc_set_opts2(&context, &layout, AV_SAMPLE_FMT_FLT, toRate, &layout,
                                         AV_SAMPLE_FMT_FLT, fromRate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    m_context.reset(context);
    if (code < 0 || swr_init(m_context.get()) < 0)
        throw InputError(u"cannot convert %1 Hz to %2 Hz"_s.arg(fromRate).arg(toRate));
}

const std::vector<float> &ClipResampler::convert(const float *interleaved, qint64 frames) {
    return run(interleaved, frames);
}

const std::vector<float> &ClipResampler::finish() {
    return run(nullptr, 0);
}

const std::vector<float> &ClipResampler::run(const float *interleaved, qint64 frames) {
    const int room = std::max(swr_get_out_samples(m_context.get(), int(frames)), 0);
    m_out.resize(std::size_t(room) * std::size_t(m_channels));
    auto *out = reinterpret_cast<uint8_t *>(m_out.data());
    const auto *in = reinterpret_cast<const uint8_t *>(interleaved);
    const int got =
        swr_convert(m_context.get(), &out, room, interleaved ? &in : nullptr, int(frames));
    if (got < 0)
        throw InputError(u"the resampler failed"_s);
    m_out.resize(std::size_t(got) * std::size_t(m_channels));
    return m_out;
}

} // namespace vovozodo
