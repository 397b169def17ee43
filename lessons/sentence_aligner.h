#pragma once

#include "lessons/clip_plan.h"

#include <QStringList>

#include <vector>

namespace vovozodo {

struct LevelProfile;
struct SpeechMap;

// Where a transcript and its recording part.
enum class Misfit {
    // The recording speaks a sentence the transcript lacks (before `sentence`).
    RecordingHasMore,
    // The transcript's `sentence` is not spoken there.
    TranscriptHasMore,
    // `sentence` is spoken, but elsewhere: near `elsewhereSeconds`.
    OutOfPlace,
    // `sentence` would get far more or less speech than its text takes.
    LengthOff,
    // The speaker pauses far longer inside `sentence` than where the text puts
    // a sentence end next to it (`detail` says how long).
    PausesOff,
    // Text and recording cannot be matched at all (`detail` says why).
    Unmatched,
};

struct FitProblem {
    Misfit kind = Misfit::Unmatched;
    qsizetype sentence = 0; // index into the transcript's sentences
    double seconds = 0;     // where in the recording they part
    double elsewhereSeconds = 0;
    QString detail;
};

// What the aligner proposes and how well text and speech fit. With problems,
// `spans` is still the best match it found: a sentence the recording lacks
// gets an empty span where it would be, speech the transcript lacks is left
// out, so an editor can show both.
struct Alignment {
    std::vector<SentenceSpan> spans;
    std::vector<FitProblem> problems;
    bool fits() const { return problems.empty(); }
};

// Finds where each sentence of a plain transcript is spoken. The cuts are
// chosen together by dynamic programming over the recording's pauses: each
// sentence should last what its length takes at the recording's own speaking
// rate, and longer pauses make likelier sentence ends. A long pause inside a
// sentence is therefore passed over when taking it would leave the sentences
// around it far too short or too long. Sound before the first sentence or
// after the last that sounds like music is left out.
//
// The same search may also leave out a stretch of speech or give a sentence no
// speech, at a price no natural spread of sentence lengths pays: when the best
// match does either, the transcript and the recording disagree there, and the
// match is reported, never refused.
//
// Lengths are judged at the rate of the sentences around each one, so a pace
// that drifts is no misfit. Where the lengths fit, the pauses still tell: a
// match whose sentence end falls on a short pause beside a long one left
// inside a sentence, or whose sentence runs long around a pause like a
// sentence end, disagrees with the recording there.
Alignment alignSentences(const LevelProfile &profile, const SpeechMap &speech,
                         const QStringList &sentences);

} // namespace vovozodo
