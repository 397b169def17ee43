#include "lessons/cue_snapper.h"

#include "lessons/clock_text.h"
#include "lessons/input_error.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

class Snapper {
public:
    Snapper(const LevelProfile &profile, const SpeechMap &speech) : m_profile(profile) {
        // The silences before and after all speech are pauses like any other here,
        // even when empty: the recording's own start and end are boundaries too.
        m_pauses.push_back(speech.leading);
        m_pauses.insert(m_pauses.end(), speech.pauses.begin(), speech.pauses.end());
        m_pauses.push_back(speech.trailing);
    }

    qsizetype frameAt(qint64 ms) const {
        return qsizetype(ms * m_profile.sampleRate / 1000 / m_profile.hop);
    }
    qint64 sampleAt(qint64 ms) const {
        return std::min(ms * m_profile.sampleRate / 1000, m_profile.totalFrames);
    }

    // The pause whose start lies nearest `speechEnd` and whose end lies nearest
    // `speechStart` (either may be -1: not asked), each within the window; longer
    // pauses win at the same distance. Asking for both ends at once tells the pause
    // between two sentences from a comma's pause near one of the subtitle times:
    // that one lies near one time only.
    const Pause *find(qsizetype speechEnd, qsizetype speechStart) const {
        const qsizetype window = levelFramesIn(kSnapWindowMs);
        const qsizetype low = speechEnd >= 0 ? speechEnd : speechStart;
        const qsizetype high = std::max(speechEnd, speechStart);
        const Pause *best = nullptr;
        double bestScore = 0;
        auto it = std::lower_bound(m_pauses.begin(), m_pauses.end(), low - window,
                                   [](const Pause &p, qsizetype f) { return p.last < f; });
        for (; it != m_pauses.end() && it->first <= high + window; ++it) {
            const qsizetype toEnd = speechEnd >= 0 ? qAbs(it->first - speechEnd) : 0;
            const qsizetype toStart = speechStart >= 0 ? qAbs(it->last - speechStart) : 0;
            if (toEnd > window || toStart > window)
                continue;
            // A pause counts by its length up to a second, against its distance.
            const double score = double(std::min<qsizetype>(it->length(), kLevelFramesPerSecond)) -
                                 double(toEnd) - double(toStart);
            if (!best || score > bestScore) {
                best = &*it;
                bestScore = score;
            }
        }
        return best;
    }

    qint64 start(qsizetype frame) const { return frameStartSample(m_profile, frame); }
    qint64 middle(qsizetype frame) const { return frameMiddleSample(m_profile, frame); }

private:
    const LevelProfile &m_profile;
    std::vector<Pause> m_pauses;
};

} // namespace

std::vector<SentenceSpan> snapCues(const LevelProfile &profile, const SpeechMap &speech,
                                   const QList<Cue> &cues, const QString &subtitlesName,
                                   QStringList &notes) {
    Snapper snapper(profile, speech);
    const qint64 lengthMs = profile.totalFrames * 1000 / profile.sampleRate;
    const qsizetype count = cues.size();
    std::vector<SentenceSpan> spans(static_cast<std::size_t>(count));
    QStringList unsnapped;

    for (const Cue &cue : cues)
        if (cue.startMs >= lengthMs)
            throw InputError(subtitlesName + u':' + QString::number(cue.line) +
                             u": cue starts at "_s + clockTextWithTenths(cue.startMs) +
                             u", after the recording ends ("_s + clockTextWithTenths(lengthMs) +
                             u')');

    // The end of a cue without one (the last LRC line) is the end of the speech.
    const auto endOf = [&](qsizetype k) {
        const Cue &cue = cues[k];
        if (cue.endMs >= 0)
            return std::min(cue.endMs, lengthMs);
        return std::max(cue.startMs,
                        speech.trailing.first * profile.hop * 1000 / profile.sampleRate);
    };

    for (qsizetype k = 0; k < count; ++k) {
        const qint64 end = endOf(k);
        SentenceSpan &span = spans[std::size_t(k)];
        if (k == 0) {
            const Pause *before = snapper.find(-1, snapper.frameAt(cues[0].startMs));
            span.speechStart =
                before ? snapper.start(before->last) : snapper.sampleAt(cues[0].startMs);
            span.limitBefore = before && before->first > 0 ? snapper.middle(before->quietest) : 0;
            if (!before)
                unsnapped.append(QString::number(cues[0].line));
        }
        if (k + 1 == count) {
            const Pause *after = snapper.find(snapper.frameAt(end), -1);
            span.speechEnd = after ? snapper.start(after->first) : snapper.sampleAt(end);
            span.limitAfter = after && after->last < profile.frameCount()
                                  ? snapper.middle(after->quietest)
                                  : profile.totalFrames;
            if (!after)
                unsnapped.append(QString::number(cues[k].line));
            break;
        }
        SentenceSpan &next = spans[std::size_t(k) + 1];
        const qint64 nextStart = cues[k + 1].startMs;
        // One pause between the two sentences holds the cut...
        if (const Pause *between = snapper.find(snapper.frameAt(end), snapper.frameAt(nextStart))) {
            span.speechEnd = snapper.start(between->first);
            next.speechStart = snapper.start(between->last);
            span.limitAfter = next.limitBefore = snapper.middle(between->quietest);
            continue;
        }
        // ...or, with other sound between them (music, a speaker not in the
        // subtitles), each side has its own.
        const Pause *after = snapper.find(snapper.frameAt(end), -1);
        const Pause *before = snapper.find(-1, snapper.frameAt(nextStart));
        if (after == before && after) {
            // One pause near each time on its own, yet not near both: cut in it.
            span.speechEnd = snapper.start(after->first);
            next.speechStart = snapper.start(after->last);
            span.limitAfter = next.limitBefore = snapper.middle(after->quietest);
            continue;
        }
        const qint64 middle = (std::min(end, nextStart) + std::max(end, nextStart)) / 2;
        span.speechEnd = after ? snapper.start(after->first) : snapper.sampleAt(end);
        span.limitAfter = after ? snapper.middle(after->quietest) : snapper.sampleAt(middle);
        next.speechStart = before ? snapper.start(before->last) : snapper.sampleAt(nextStart);
        next.limitBefore =
            before ? std::max(snapper.middle(before->quietest), span.limitAfter) : span.limitAfter;
        if (!after || !before)
            unsnapped.append(QString::number(cues[k].line));
    }
    if (!unsnapped.isEmpty())
        notes.append(subtitlesName + u": no pause within "_s + QString::number(kSnapWindowMs) +
                     u" ms of the cue at line "_s + unsnapped.join(u", "_s) +
                     u"; cut at the subtitle time"_s);
    return spans;
}

} // namespace vovozodo
