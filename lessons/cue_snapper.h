#pragma once

#include "lessons/clip_plan.h"
#include "lessons/cue.h"

#include <QList>
#include <QStringList>

#include <vector>

namespace vovozodo {

struct LevelProfile;
struct SpeechMap;

// How far a subtitle time may lie from the pause it means.
inline constexpr int kSnapWindowMs = 400;

// Where each cue is spoken: every subtitle time moves to the nearest pause in
// the recording within kSnapWindowMs, so a subtitle a few hundred ms off cuts
// no word; the cut between two sentences goes to the quietest point of that
// pause. Where no pause is near, the subtitle time stands and a note says so.
// Throws InputError naming `subtitlesName` when a cue starts after the
// recording ends.
std::vector<SentenceSpan> snapCues(const LevelProfile &profile, const SpeechMap &speech,
                                   const QList<Cue> &cues, const QString &subtitlesName,
                                   QStringList &notes);

} // namespace vovozodo
