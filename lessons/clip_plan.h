#pragma once

#include <QtGlobal>

#include <vector>

namespace vovozodo {

struct LevelProfile;

// Where one sentence is spoken and how far its clip may reach, in samples:
// the limits are the cut points in the pauses around it.
struct SentenceSpan {
    qint64 speechStart = 0;
    qint64 speechEnd = 0;
    qint64 limitBefore = 0;
    qint64 limitAfter = 0;
};

// A clip of the recording, samples [start, end).
struct Clip {
    qint64 start = 0;
    qint64 end = 0;
};

// Lead-in and tail around the speech. A longer tail than lead-in: a sentence
// fades out more slowly than it starts, and learners want to hear it end.
inline constexpr int kLeadInMs = 100;
inline constexpr int kTailMs = 350;

// The clips of `spans`: the speech with its lead-in and tail, never beyond the
// cut points, and never overlapping the clip before.
std::vector<Clip> padSpans(const std::vector<SentenceSpan> &spans, int sampleRate);

// The sample at which analysis frame `frame` starts, and the middle of it.
qint64 frameStartSample(const LevelProfile &profile, qsizetype frame);
qint64 frameMiddleSample(const LevelProfile &profile, qsizetype frame);

} // namespace vovozodo
