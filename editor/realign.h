#pragma once

#include <QStringList>

#include <vector>

namespace vovozodo {

struct FitProblem;
struct LessonDraft;
class SpeechGuide;

// The draft with every cut after cut `from` found again by the aligner,
// except those the learner placed by hand: the stretches between them are
// aligned one by one, each with its own sentences. A stretch the aligner finds
// no fit for gets cuts spread by the sentences' lengths, a note says so and
// the sentences concerned are marked; the marks after the cut are found anew.
LessonDraft withRestRealigned(const LessonDraft &draft, const SpeechGuide &guide, qsizetype from,
                              QStringList &notes);

// For each sentence, whether the speech between its cuts is far longer or
// shorter than its text takes to say at the lesson's own speaking rate.
std::vector<bool> lengthMisfits(const LessonDraft &draft);

// Marks the sentences `problem` concerns among [firstSentence, lastSentence],
// its own sentence counted from the first: that sentence, and for speech the
// text lacks, the one before it too; none when nothing matched at all.
void markMisfit(LessonDraft &draft, const FitProblem &problem, qsizetype firstSentence,
                qsizetype lastSentence, int sampleRate, const QString &description);

} // namespace vovozodo
