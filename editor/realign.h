#pragma once

#include <QStringList>

#include <vector>

namespace vovozodo {

struct LessonDraft;
class SpeechGuide;

// The draft with every cut after cut `from` found again by the aligner,
// except those the learner placed by hand: the stretches between them are
// aligned one by one, each with its own sentences. A stretch the aligner finds
// no fit for gets cuts spread by the sentences' lengths, and a note says so.
LessonDraft withRestRealigned(const LessonDraft &draft, const SpeechGuide &guide, qsizetype from,
                              QStringList &notes);

// For each sentence, whether the speech between its cuts is far longer or
// shorter than its text takes to say at the lesson's own speaking rate.
std::vector<bool> lengthMisfits(const LessonDraft &draft);

} // namespace vovozodo
