#pragma once

#include <QtGlobal>

#include <vector>

namespace vovozodo {

struct LevelProfile;

// A stretch without speech, in analysis frames [first, last).
struct Pause {
    qsizetype first = 0;
    qsizetype last = 0;
    // The frame to cut at: the quietest of the stretch.
    qsizetype quietest = 0;
    // Frames of speech before the pause.
    qsizetype voicedBefore = 0;

    qsizetype length() const { return last - first; }
};

// Where a recording speaks and where it pauses.
struct SpeechMap {
    // The pauses between the first and the last speech, in order.
    std::vector<Pause> pauses;
    // The silence before the first speech and after the last (possibly empty).
    Pause leading;
    Pause trailing;
    qsizetype voicedFrames = 0;
    double floorDb = 0;
    double speechDb = 0;
    double thresholdDb = 0;
};

inline constexpr int kMinPauseMs = 120;
// Level bumps inside a silence shorter than this are clicks, not speech.
inline constexpr int kMinClickMs = 40;

// Voice activity from the level alone, with a threshold placed between the
// recording's own noise floor and speech level, so a quiet file or one with
// background noise is judged against itself. Silences shorter than
// kMinPauseMs count as speech (the gaps between syllables), and level bumps
// shorter than kMinClickMs inside a silence count as silence (clicks).
SpeechMap findPauses(const LevelProfile &profile);

// The same from decisions made elsewhere: `speech` holds 1 for each analysis
// frame with speech. Short runs are smoothed as above; floor, speech level and
// threshold stay 0.
SpeechMap mapSpeech(const LevelProfile &profile, std::vector<char> speech);

} // namespace vovozodo
