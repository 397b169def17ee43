#include "lessons/tempo.h"

#include <SoundTouch.h>

#include <cmath>

namespace vovozodo {

namespace {

constexpr qint64 kBlockFrames = 4096;

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

} // namespace

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

std::unique_ptr<Recording> atTempo(std::unique_ptr<Recording> recording, double tempo,
                                   std::vector<Clip> &clips) {
    if (tempo == 1.0)
        return recording;
    clips = scaledClips(clips, tempo);
    return std::make_unique<TempoRecording>(std::move(recording), tempo);
}

std::vector<float> slowedFrames(const std::vector<float> &frames, int sampleRate, int channels,
                                double tempo) {
    if (channels <= 0 || frames.empty())
        return frames;
    const auto stretcher = speechStretcher(sampleRate, channels, tempo);
    stretcher->putSamples(frames.data(), uint(frames.size() / std::size_t(channels)));
    stretcher->flush();
    std::vector<float> out(std::size_t(stretcher->numSamples()) * std::size_t(channels));
    const uint got = stretcher->receiveSamples(out.data(), stretcher->numSamples());
    out.resize(std::size_t(got) * std::size_t(channels));
    return out;
}

} // namespace vovozodo
