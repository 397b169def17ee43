#pragma once

#include "lessons/clip_plan.h"

#include <QStringList>

#include <vector>

namespace vovozodo {

class SpeechGuide;

inline bool operator==(const SentenceSpan &a, const SentenceSpan &b) {
    return a.speechStart == b.speechStart && a.speechEnd == b.speechEnd &&
           a.limitBefore == b.limitBefore && a.limitAfter == b.limitAfter;
}

// Where the aligner found text and speech parting, on a sentence it concerns:
// shown until the learner edits the cuts around that sentence or the rest is
// re-aligned, which finds it again if it is still there.
struct MisfitMark {
    qsizetype sentence = 0;
    qint64 at = 0; // the sample where they part
    QString description;
    bool operator==(const MisfitMark &) const = default;
};

// The lesson as the learner shapes it: one text and one span per sentence.
// Cut k lies between sentence k and k+1; it is the end of the one and the start
// of the other, so moving it moves both. Spans nobody touched keep what the
// aligner found, so an untouched draft saves exactly what `make` writes.
struct LessonDraft {
    QStringList sentences;
    std::vector<SentenceSpan> spans;
    // One per cut: placed by the learner, kept when the rest is re-aligned.
    std::vector<bool> handPlaced;
    std::vector<MisfitMark> misfits;

    qsizetype cutCount() const { return std::max<qsizetype>(0, sentences.size() - 1); }
    qint64 cut(qsizetype k) const { return spans[std::size_t(k)].limitAfter; }
    // Where the sentence holding `sample` starts being heard; -1 before the first.
    qsizetype sentenceAt(qint64 sample) const;
    // How far cut k may move: a cut never passes its neighbours.
    qint64 lowestCut(qsizetype k) const;
    qint64 highestCut(qsizetype k) const;
    // What the marks on `sentence` say, one line each; empty when it has none.
    QStringList misfitsOf(qsizetype sentence) const;

    bool operator==(const LessonDraft &) const = default;
};

// The edits, each giving the draft after it. Positions are clamped to what the
// neighbours allow; the speech of the sentences around a moved cut is found
// again between their new limits, and the misfit marks of the sentences whose
// cuts changed go.
LessonDraft withCutMoved(const LessonDraft &draft, const SpeechGuide &guide, qsizetype cut,
                         qint64 sample);
// Splits the sentence holding `sample` there; its text splits at `caret`.
// Unchanged when `sample` lies on no sentence.
LessonDraft withSplit(const LessonDraft &draft, const SpeechGuide &guide, qint64 sample,
                      qsizetype caret);
// Removes cut k: sentences k and k+1 become one.
LessonDraft withCutRemoved(const LessonDraft &draft, qsizetype cut);
LessonDraft withText(const LessonDraft &draft, qsizetype sentence, const QString &text);

// The text of two sentences as one: Chinese runs on, Latin words keep a space.
QString joinedSentences(const QString &first, const QString &second);

} // namespace vovozodo
