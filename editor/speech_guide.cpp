#include "editor/speech_guide.h"

#include "lessons/clip_plan.h"

#include <algorithm>

namespace vovozodo {

namespace {

// Every stretch without speech, the ones before and after it included.
template <typename Visit> void forEachPause(const SpeechMap &speech, Visit visit) {
    if (speech.leading.length() > 0)
        visit(speech.leading);
    for (const Pause &pause : speech.pauses)
        visit(pause);
    if (speech.trailing.length() > 0)
        visit(speech.trailing);
}

} // namespace

qint64 SpeechGuide::cutPoint(const Pause &pause) const {
    return frameMiddleSample(m_profile, pause.quietest);
}

std::pair<qint64, qint64> SpeechGuide::pauseSamples(const Pause &pause) const {
    return {frameStartSample(m_profile, pause.first), frameStartSample(m_profile, pause.last)};
}

std::optional<qint64> SpeechGuide::snap(qint64 sample, qint64 window) const {
    std::optional<qint64> best;
    qint64 bestDistance = window + 1;
    forEachPause(m_speech, [&](const Pause &pause) {
        const auto [first, last] = pauseSamples(pause);
        const qint64 distance = sample < first   ? first - sample
                                : sample >= last ? sample - last
                                                 : 0;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = cutPoint(pause);
        }
    });
    return best;
}

std::optional<qint64> SpeechGuide::nextPause(qint64 sample, int direction) const {
    std::optional<qint64> found;
    forEachPause(m_speech, [&](const Pause &pause) {
        const qint64 at = cutPoint(pause);
        if (direction > 0 && at > sample && (!found || at < *found))
            found = at;
        if (direction < 0 && at < sample && (!found || at > *found))
            found = at;
    });
    return found;
}

std::pair<qint64, qint64> SpeechGuide::speechWithin(qint64 from, qint64 to) const {
    // Speech is everything outside the pauses, between the leading and trailing silence.
    qint64 first = std::max(from, frameStartSample(m_profile, m_speech.leading.last));
    qint64 last = std::min(to, frameStartSample(m_profile, m_speech.trailing.first));
    for (const Pause &pause : m_speech.pauses) {
        const auto [start, end] = pauseSamples(pause);
        if (start <= first && end > first)
            first = end;
    }
    for (auto pause = m_speech.pauses.rbegin(); pause != m_speech.pauses.rend(); ++pause) {
        const auto [start, end] = pauseSamples(*pause);
        if (start < last && end >= last)
            last = start;
    }
    if (first >= last) {
        const qint64 middle = (from + to) / 2;
        return {middle, middle};
    }
    return {first, last};
}

} // namespace vovozodo
