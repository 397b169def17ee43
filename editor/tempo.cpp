#include "editor/tempo.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace vovozodo {

namespace {

constexpr qint64 kBlockFrames = 4096;

} // namespace

std::unique_ptr<soundtouch::SoundTouch> speechStretcher(int sampleRate, int channels,
                                                        double tempo) {
    auto stretcher = std::make_unique<soundtouch::SoundTouch>();
    stretcher->setSampleRate(uint(sampleRate));
    stretcher->setChannels(uint(channels));
    stretcher->setTempo(tempo);
    stretcher->setSetting(SETTING_SEQUENCE_MS, 40);
    stretcher->setSetting(SETTING_SEEKWINDOW_MS, 15);
    stretcher->setSetting(SETTING_OVERLAP_MS, 8);
    return stretcher;
}

TempoRecording::TempoRecording(std::unique_ptr<Recording> inner, double tempo)
    : m_inner(std::move(inner)),
      m_stretcher(speechStretcher(m_inner->sampleRate(), m_inner->channels(), tempo)),
      m_block(std::size_t(kBlockFrames * m_inner->channels())) {
    m_sampleRate = m_inner->sampleRate();
    m_channels = m_inner->channels();
    m_framesHint = m_inner->framesHint() > 0 ? qint64(double(m_inner->framesHint()) / tempo) : -1;
}

TempoRecording::~TempoRecording() = default;

qint64 TempoRecording::read(float *interleaved, qint64 frames) {
    while (qint64(m_stretcher->numSamples()) < frames && !m_innerEnded) {
        const qint64 got = m_inner->read(m_block.data(), kBlockFrames);
        if (got <= 0) {
            m_stretcher->flush();
            m_innerEnded = true;
        } else {
            m_stretcher->putSamples(m_block.data(), uint(got));
        }
    }
    return qint64(m_stretcher->receiveSamples(interleaved, uint(frames)));
}

std::vector<Clip> scaledClips(const std::vector<Clip> &clips, double tempo) {
    std::vector<Clip> scaled;
    scaled.reserve(clips.size());
    for (const Clip &clip : clips)
        scaled.push_back({qint64(std::llround(double(clip.start) / tempo)),
                          qint64(std::llround(double(clip.end) / tempo))});
    return scaled;
}

ClipSound slowedDown(const ClipSound &sound, double tempo) {
    if (sound.channels <= 0 || sound.samples.empty())
        return sound;
    std::vector<float> in(sound.samples.size());
    std::transform(sound.samples.begin(), sound.samples.end(), in.begin(),
                   [](qint16 s) { return float(s) / 32768.0f; });
    const auto stretcher = speechStretcher(sound.sampleRate, sound.channels, tempo);
    stretcher->putSamples(in.data(), uint(in.size() / std::size_t(sound.channels)));
    stretcher->flush();
    ClipSound slowed = sound;
    slowed.tempo = tempo;
    std::vector<float> out(std::size_t(stretcher->numSamples()) * std::size_t(sound.channels));
    const uint got = stretcher->receiveSamples(out.data(), stretcher->numSamples());
    slowed.samples.resize(std::size_t(got) * std::size_t(sound.channels));
    std::transform(
        out.begin(), out.begin() + qsizetype(slowed.samples.size()), slowed.samples.begin(),
        [](float s) { return qint16(std::lrint(std::clamp(s, -1.0f, 1.0f) * 32767.0f)); });
    return slowed;
}

} // namespace vovozodo
