#pragma once

#include "lessons/clip_plan.h"
#include "lessons/recording.h"

#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace vovozodo {

// The speeds a slowed copy of a lesson is made at (pitch kept), in percent:
// slower than three quarters, speech stretched this way starts to echo.
inline constexpr int kSlowTempoPercents[] = {90, 75};

// A recording played at `tempo` (0.75: three quarters of its speed) with its
// pitch kept, through SoundTouch tuned for speech: short sequences and
// overlaps, so syllables do not smear. Sample k of the slowed stream is about
// sample k * tempo of the original, so clips cut at scaledClips() hold the
// same sentences.
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

// Where `clips` of the recording lie in the stream slowed to `tempo`.
std::vector<Clip> scaledClips(const std::vector<Clip> &clips, double tempo);

// `recording` to cut `clips` from, slowed to `tempo` unless that is 1, with
// `clips` moved to where they then lie: how make and the editor write a
// slowed copy.
std::unique_ptr<Recording> atTempo(std::unique_ptr<Recording> recording, double tempo,
                                   std::vector<Clip> &clips);

// `frames` interleaved frames slowed to `tempo` in one go, as TempoRecording
// slows a stream: what the editor plays is what a slowed copy holds.
std::vector<float> slowedFrames(const std::vector<float> &frames, int sampleRate, int channels,
                                double tempo);

} // namespace vovozodo
