#include "lessons/level_profile.h"

#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/progress.h"
#include "lessons/recording.h"

#include <ebur128.h>

#include <QString>

#include <cmath>
#include <memory>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBlockFrames = 8192;

struct LoudnessMeter {
    explicit LoudnessMeter(const Recording &recording)
        : state(ebur128_init(unsigned(recording.channels()), unsigned(recording.sampleRate()),
                             EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)) {}
    ~LoudnessMeter() { ebur128_destroy(&state); }
    ebur128_state *state;
};

} // namespace

LevelProfile measureLevels(Recording &recording, bool measureLoudness, Progress &progress) {
    LevelProfile profile;
    profile.sampleRate = recording.sampleRate();
    profile.channels = recording.channels();
    profile.hop = std::max(1, (recording.sampleRate() * kLevelFrameMs + 500) / 1000);
    // A hint is only a hint: a broken header may claim years.
    constexpr qint64 kDayOfFrames = qint64(24) * 3600 * kLevelFramesPerSecond;
    if (recording.framesHint() > 0)
        profile.centiDb.reserve(
            std::size_t(std::min(recording.framesHint() / profile.hop + 1, kDayOfFrames)));

    std::unique_ptr<LoudnessMeter> meter;
    if (measureLoudness) {
        meter = std::make_unique<LoudnessMeter>(recording);
        if (!meter->state)
            throw InputError(u"cannot measure loudness at this sample rate"_s);
    }

    const int channels = recording.channels();
    std::vector<float> block(std::size_t(kBlockFrames * channels));
    double sum = 0;
    int inFrame = 0;
    const auto closeFrame = [&] {
        const double meanSquare = sum / inFrame;
        const double db = meanSquare > 1e-10 ? 10.0 * std::log10(meanSquare) : -100.0;
        profile.centiDb.push_back(qint16(std::lround(std::max(db, -100.0) * 100.0)));
        sum = 0;
        inFrame = 0;
    };
    for (;;) {
        stopIfInterrupted();
        const qint64 got = recording.read(block.data(), kBlockFrames);
        if (got <= 0)
            break;
        if (meter)
            ebur128_add_frames_float(meter->state, block.data(), std::size_t(got));
        const float *sample = block.data();
        for (qint64 f = 0; f < got; ++f) {
            float mono = 0;
            for (int c = 0; c < channels; ++c)
                mono += *sample++;
            mono /= float(channels);
            sum += double(mono) * mono;
            if (++inFrame == profile.hop)
                closeFrame();
        }
        profile.totalFrames += got;
        if (recording.framesHint() > 0)
            progress.show(u"Listening"_s, std::min(1.0, double(profile.totalFrames) /
                                                            double(recording.framesHint())));
        else
            progress.show(u"Listening"_s, 0.0);
    }
    if (inFrame > 0)
        closeFrame();
    if (profile.totalFrames == 0)
        throw InputError(u"no sound in the recording"_s);

    if (meter) {
        double lufs = 0;
        if (ebur128_loudness_global(meter->state, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs))
            profile.integratedLufs = lufs;
        double peak = 0;
        for (int c = 0; c < channels; ++c) {
            double channelPeak = 0;
            if (ebur128_true_peak(meter->state, unsigned(c), &channelPeak) == EBUR128_SUCCESS)
                peak = std::max(peak, channelPeak);
        }
        if (peak > 0)
            profile.truePeakDb = 20.0 * std::log10(peak);
    }
    return profile;
}

} // namespace vovozodo
