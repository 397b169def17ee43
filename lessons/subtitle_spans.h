#pragma once

#include "lessons/clip_plan.h"
#include "lessons/cue.h"
#include "lessons/cue_timing.h"

#include <QList>
#include <QStringList>

#include <vector>

namespace vovozodo {

struct LevelProfile;
struct SpeechMap;

// Where each subtitle's sentence is spoken, as make cuts it and the editor
// proposes it: unless the times were moved by hand already (`findTiming`
// false: --shift), the offset and drift that bring the cues to the speech are
// found and applied first (`applied` gets them, for the caller to say so), then
// every time snaps to its pause. Throws InputError naming both files when the cues
// meet the speech nowhere, however they are moved.
std::vector<SentenceSpan> spansOfSubtitles(const LevelProfile &profile, const SpeechMap &speech,
                                           QList<Cue> cues, bool findTiming,
                                           const QString &subtitlesName,
                                           const QString &recordingName, QStringList &notes,
                                           CueTiming *applied = nullptr);

} // namespace vovozodo
