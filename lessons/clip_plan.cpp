#include "lessons/clip_plan.h"

#include "lessons/level_profile.h"

#include <algorithm>

namespace vovozodo {

std::vector<Clip> padSpans(const std::vector<SentenceSpan> &spans, int sampleRate) {
    const qint64 lead = qint64(sampleRate) * kLeadInMs / 1000;
    const qint64 tail = qint64(sampleRate) * kTailMs / 1000;
    std::vector<Clip> clips;
    clips.reserve(spans.size());
    qint64 previousEnd = 0;
    for (const SentenceSpan &span : spans) {
        Clip clip;
        clip.start = std::max({span.speechStart - lead, span.limitBefore, previousEnd});
        clip.end = std::max(std::min(span.speechEnd + tail, span.limitAfter), clip.start + 1);
        clips.push_back(clip);
        previousEnd = clip.end;
    }
    return clips;
}

qint64 frameStartSample(const LevelProfile &profile, qsizetype frame) {
    return std::min(qint64(frame) * profile.hop, profile.totalFrames);
}

qint64 frameMiddleSample(const LevelProfile &profile, qsizetype frame) {
    return std::min(qint64(frame) * profile.hop + profile.hop / 2, profile.totalFrames);
}

} // namespace vovozodo
