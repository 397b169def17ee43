#pragma once

#include "lessons/cue.h"

#include <QList>
#include <QString>

namespace vovozodo {

struct LevelProfile;
struct SpeechMap;

// How subtitles are moved to meet the recording's speech: each time t becomes
// t * rate + offsetMs. Subtitles made for another copy of a film are off by a
// constant (a cut intro), and those timed for 23.976 frames a second run slow
// against a copy played at 25 (or the other way round).
struct CueTiming {
    qint64 offsetMs = 0;
    double rate = 1.0;
    // Share of cue starts and ends that lie near a pause once moved.
    double fitShare = 0;
    // The first cue (its line) that still lies far from the speech, or 0.
    int firstMisfitLine = 0;
    qint64 firstMisfitMs = 0;
    bool moves() const { return offsetMs != 0 || rate != 1.0; }
};

// Offsets up to this far either way are looked for.
inline constexpr qint64 kMaxCueOffsetMs = 10000;

// The offset and rate (among the common frame-rate pairs) that bring the most
// cue times near the recording's pauses; none when the cues already sit there.
CueTiming estimateCueTiming(const LevelProfile &profile, const SpeechMap &speech,
                            const QList<Cue> &cues);

// `cues` with `timing` applied.
QList<Cue> applyCueTiming(QList<Cue> cues, const CueTiming &timing);

// What was applied, for a note: "subtitles moved 1.50 s later to meet the speech".
QString describeCueTiming(const CueTiming &timing);

} // namespace vovozodo
