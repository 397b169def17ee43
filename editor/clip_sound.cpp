#include "editor/clip_sound.h"

#include "lessons/recording.h"
#include "lessons/tempo.h"

#include <algorithm>
#include <cmath>

namespace vovozodo {

namespace {

// As the lesson writer: 5 ms fades, more than two channels mixed to mono.
constexpr int kFadeMs = 5;
constexpr qint64 kBlockFrames = 8192;

qint16 pcm(float value) {
    return qint16(std::lrint(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
}

} // namespace

ClipSound renderStretch(const QString &path, qint64 first, qint64 last, bool fades) {
    const std::unique_ptr<Recording> recording = openRecording(path);
    const int in = recording->channels();
    ClipSound sound;
    sound.sampleRate = recording->sampleRate();
    sound.channels = in <= 2 ? in : 1;
    sound.first = first;
    const qint64 fade = std::max<qint64>(1, qint64(sound.sampleRate) * kFadeMs / 1000);
    std::vector<float> block(std::size_t(kBlockFrames * in));
    qint64 position = 0;
    while (position < last) {
        const qint64 got = recording->read(block.data(), kBlockFrames);
        if (got <= 0)
            break;
        for (qint64 f = std::max<qint64>(0, first - position); f < got && position + f < last;
             ++f) {
            const qint64 sample = position + f;
            float ramp = 1.0f;
            if (fades) {
                const qint64 edge = std::min(sample - first, last - 1 - sample);
                if (edge < fade)
                    ramp = float(std::max<qint64>(edge, 0)) / float(fade);
            }
            const float *frame = block.data() + f * in;
            if (sound.channels == in) {
                for (int c = 0; c < in; ++c)
                    sound.samples.push_back(pcm(frame[c] * ramp));
            } else {
                float mono = 0;
                for (int c = 0; c < in; ++c)
                    mono += frame[c];
                sound.samples.push_back(pcm(mono / float(in) * ramp));
            }
        }
        position += got;
    }
    return sound;
}

ClipSound slowedDown(const ClipSound &sound, double tempo) {
    if (sound.channels <= 0 || sound.samples.empty() || tempo == 1.0)
        return sound;
    std::vector<float> frames(sound.samples.size());
    std::transform(sound.samples.begin(), sound.samples.end(), frames.begin(),
                   [](qint16 s) { return float(s) / 32768.0f; });
    frames = slowedFrames(frames, sound.sampleRate, sound.channels, tempo);
    ClipSound slowed = sound;
    slowed.tempo = tempo;
    slowed.samples.resize(frames.size());
    std::transform(frames.begin(), frames.end(), slowed.samples.begin(), pcm);
    return slowed;
}

} // namespace vovozodo
