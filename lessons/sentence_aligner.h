#pragma once

#include "lessons/clip_plan.h"

#include <QStringList>

#include <vector>

namespace vovozodo {

struct LevelProfile;
struct SpeechMap;

// Finds where each sentence of a plain transcript is spoken. The N-1 cuts are
// chosen together by dynamic programming over the recording's pauses: each
// sentence should last what its length takes at the recording's own speaking
// rate, and longer pauses make likelier sentence ends. A long pause inside a
// sentence is therefore passed over when taking it would leave the sentences
// around it far too short or too long. Sound before the first sentence or
// after the last that fits no sentence (a jingle, music) is left out.
//
// Throws InputError naming `recordingName`, `transcriptName` and where they
// part when the recording cannot be matched.
std::vector<SentenceSpan> alignSentences(const LevelProfile &profile, const SpeechMap &speech,
                                         const QStringList &sentences, const QString &recordingName,
                                         const QString &transcriptName);

} // namespace vovozodo
