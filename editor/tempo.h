#pragma once

#include "editor/clip_sound.h"
#include "lessons/clip_plan.h"
#include "lessons/recording.h"

#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace vovozodo {

// Slower speech with its pitch kept (SoundTouch, tuned for speech: short
// sequences and overlaps, so syllables do not smear).
std::unique_ptr<soundtouch::SoundTouch> speechStretcher(int sampleRate, int channels, double tempo);

// A recording played at `tempo` (0.75: three quarters of its speed). Sample k
// of the slowed stream is about sample k * tempo of the original, so clips cut
// at scaledClips() hold the same sentences.
class TempoRecording : public Recording {
public:
    TempoRecording(std::unique_ptr<Recording> inner, double tempo);
    ~TempoRecording() override;
    qint64 read(float *interleaved, qint64 frames) override;

private:
    std::unique_ptr<Recording> m_inner;
    std::unique_ptr<soundtouch::SoundTouch> m_stretcher;
    std::vector<float> m_block;
    bool m_innerEnded = false;
};

std::vector<Clip> scaledClips(const std::vector<Clip> &clips, double tempo);

// A rendered stretch slowed to `tempo`; its `tempo` says how to map what is
// heard back to the recording.
ClipSound slowedDown(const ClipSound &sound, double tempo);

} // namespace vovozodo
