#include "lessons/cue_snapper.h"

#include "lessons/input_error.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

enum class Side { End, Start, Both };

class Snapper {
public:
    Snapper(const LevelProfile &profile, const SpeechMap &speech) : m_profile(profile) {
        // The silences before and after all speech are pauses like any other here.
        if (speech.leading.length() > 0)
            m_pauses.push_back(speech.leading);
        m_pauses.insert(m_pauses.end(), speech.pauses.begin(), speech.pauses.end());
        if (speech.trailing.length() > 0)
            m_pauses.push_back(speech.trailing);
    }

    qsizetype frameAt(qint64 ms) const {
        return qsizetype(ms * m_profile.sampleRate / 1000 / m_profile.hop);
    }
    qint64 sampleAt(qint64 ms) const {
        return std::min(ms * m_profile.sampleRate / 1000, m_profile.totalFrames);
    }

    // The pause that best fits frames [low, high]: for Side::End its start should
    // lie there (speech ends), for Side::Start its end (speech starts), for Both
    // it should overlap them. Longer pauses win over shorter ones at the same distance.
    const Pause *find(qsizetype low, qsizetype high, Side side) const {
        const qsizetype window = kSnapWindowMs / 10;
        const Pause *best = nullptr;
        double bestScore = 0;
        auto it = std::lower_bound(m_pauses.begin(), m_pauses.end(), low - window,
                                   [](const Pause &p, qsizetype f) { return p.last < f; });
        for (; it != m_pauses.end() && it->first <= high + window; ++it) {
            qsizetype from = it->first;
            qsizetype to = it->last;
            if (side == Side::End)
                to = from;
            else if (side == Side::Start)
                from = to;
            const qsizetype distance = std::max<qsizetype>({0, low - to, from - high});
            if (distance > window)
                continue;
            const double score =
                double(std::min<qsizetype>(it->length(), 80)) - 2.0 * double(distance);
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

QString clockText(qint64 ms) {
    return u"%1:%2.%3"_s.arg(ms / 60000)
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000 / 100);
}

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
                             u": cue starts at "_s + clockText(cue.startMs) +
                             u", after the recording ends ("_s + clockText(lengthMs) + u')');

    // The end of a cue without one (the last LRC line) is the end of the speech.
    const auto endOf = [&](qsizetype k) {
        const Cue &cue = cues[k];
        if (cue.endMs >= 0)
            return std::min(cue.endMs, lengthMs);
        return std::max(cue.startMs,
                        speech.trailing.first * profile.hop * 1000 / profile.sampleRate);
    };

    // Sentence starts.
    spans[0].limitBefore = 0;
    for (qsizetype k = 0; k < count; ++k) {
        const qint64 end = endOf(k);
        const bool lastCue = k + 1 == count;
        const qint64 nextStart = lastCue ? lengthMs : cues[k + 1].startMs;
        SentenceSpan &span = spans[std::size_t(k)];
        if (k == 0) {
            const Pause *before = snapper.find(snapper.frameAt(cues[0].startMs),
                                               snapper.frameAt(cues[0].startMs), Side::Start);
            span.speechStart =
                before ? snapper.start(before->last) : snapper.sampleAt(cues[0].startMs);
            span.limitBefore = before && before->first > 0 ? snapper.middle(before->quietest) : 0;
            if (!before)
                unsnapped.append(QString::number(cues[0].line));
        }
        if (lastCue) {
            const Pause *after =
                snapper.find(snapper.frameAt(end), snapper.frameAt(end), Side::End);
            span.speechEnd = after ? snapper.start(after->first) : snapper.sampleAt(end);
            span.limitAfter = after && after->last < profile.frameCount()
                                  ? snapper.middle(after->quietest)
                                  : profile.totalFrames;
            if (!after)
                unsnapped.append(QString::number(cues[k].line));
            break;
        }
        SentenceSpan &next = spans[std::size_t(k) + 1];
        const qint64 low = std::min(end, nextStart);
        const qint64 high = std::max(end, nextStart);
        if (high - low <= 2 * kSnapWindowMs) {
            // One pause between the two sentences holds the cut.
            const Pause *between =
                snapper.find(snapper.frameAt(low), snapper.frameAt(high), Side::Both);
            if (between) {
                span.speechEnd = snapper.start(between->first);
                next.speechStart = snapper.start(between->last);
                span.limitAfter = next.limitBefore = snapper.middle(between->quietest);
                continue;
            }
            unsnapped.append(QString::number(cues[k].line));
            span.speechEnd = snapper.sampleAt(low);
            next.speechStart = snapper.sampleAt(high);
            span.limitAfter = next.limitBefore = snapper.sampleAt((low + high) / 2);
            continue;
        }
        // A longer gap (music, another speaker): each side finds its own pause.
        const Pause *after = snapper.find(snapper.frameAt(end), snapper.frameAt(end), Side::End);
        const Pause *before =
            snapper.find(snapper.frameAt(nextStart), snapper.frameAt(nextStart), Side::Start);
        span.speechEnd = after ? snapper.start(after->first) : snapper.sampleAt(end);
        span.limitAfter =
            after ? snapper.middle(after->quietest) : snapper.sampleAt((end + nextStart) / 2);
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
