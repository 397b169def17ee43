#include "lessons_webrtc_vad.h"

#include "handles/sndfile_handles.h"
#include "lessons/level_profile.h"

#include <QFile>

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace vovozodo;

std::vector<char> webrtcSpeechFrames(const QString &path, const LevelProfile &profile) {
    SF_INFO info{};
    const UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_READ, &info));
    if (!file || info.channels != 1)
        qFatal("cannot read %s", qPrintable(path));
    std::vector<float> samples(std::size_t(info.frames));
    sf_readf_float(file.get(), samples.data(), info.frames);

    std::unique_ptr<webrtc::AudioProcessing> processing(webrtc::AudioProcessing::Create());
    processing->voice_detection()->Enable(true);
    // Its most pause-friendly setting: at the default ones its hangover bridges the
    // shorter pauses between sentences (3 of 4 transcripts could not be matched).
    processing->voice_detection()->set_likelihood(webrtc::VoiceDetection::kVeryLowLikelihood);
    // Its 10 ms decisions, by linear interpolation at 16 kHz (it works at 8 to 48 kHz).
    std::vector<char> decisions;
    webrtc::AudioFrame frame;
    const double step = double(info.samplerate) / 16000.0;
    for (double at = 0; at + 160 * step < double(samples.size()); at += 160 * step) {
        int16_t data[160];
        for (int i = 0; i < 160; ++i) {
            const double x = at + i * step;
            const auto k = std::size_t(x);
            const double mixed =
                samples[k] +
                (x - double(k)) * (samples[std::min(k + 1, samples.size() - 1)] - samples[k]);
            data[i] = int16_t(std::clamp(mixed * 32767.0, -32768.0, 32767.0));
        }
        frame.UpdateFrame(0, 0, data, 160, 16000, webrtc::AudioFrame::kNormalSpeech,
                          webrtc::AudioFrame::kVadUnknown, 1);
        processing->ProcessStream(&frame);
        decisions.push_back(processing->voice_detection()->stream_has_voice() ? 1 : 0);
    }
    // Onto the analysis frames, which are 10 ms give or take a sample.
    std::vector<char> speech(profile.centiDb.size());
    for (std::size_t f = 0; f < speech.size(); ++f) {
        const auto k = std::size_t(double(f) * profile.hop / profile.sampleRate * 100.0);
        speech[f] = k < decisions.size() ? decisions[k] : 0;
    }
    return speech;
}
