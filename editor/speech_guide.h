#pragma once

#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"

#include <optional>
#include <utility>

namespace vovozodo {

// What the editor asks of the recording's pauses, in samples: where a dragged
// cut snaps to and where the speech of a sentence lies between two cuts.
class SpeechGuide {
public:
    SpeechGuide() = default;
    SpeechGuide(LevelProfile profile, SpeechMap speech)
        : m_profile(std::move(profile)), m_speech(std::move(speech)) {}

    const LevelProfile &profile() const { return m_profile; }
    const SpeechMap &speech() const { return m_speech; }
    qint64 totalSamples() const { return m_profile.totalFrames; }
    int sampleRate() const { return m_profile.sampleRate; }
    qint64 samplesOfMs(qint64 ms) const { return ms * m_profile.sampleRate / 1000; }

    // The quietest point of the pause nearest `sample`, if one lies within
    // `window` samples of it; a cut there cuts no word.
    std::optional<qint64> snap(qint64 sample, qint64 window) const;
    // The quietest point of the next pause after (`direction` > 0) or before `sample`.
    std::optional<qint64> nextPause(qint64 sample, int direction) const;
    // The first and last sample of speech within [from, to); an empty stretch in
    // its middle when it holds none.
    std::pair<qint64, qint64> speechWithin(qint64 from, qint64 to) const;
    // Samples [first, last) of each pause, for shading.
    std::pair<qint64, qint64> pauseSamples(const Pause &pause) const;

private:
    qint64 cutPoint(const Pause &pause) const;

    LevelProfile m_profile;
    SpeechMap m_speech;
};

} // namespace vovozodo
