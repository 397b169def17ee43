#include "lessons/sentence_aligner.h"

#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"
#include "lessons/transcript_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr float kUnreachable = std::numeric_limits<float>::infinity();
// Frames are 10 ms.
constexpr qsizetype kFramesPerSecond = 100;
// Sound before the first sentence or after the last may be left out when it is at
// least this long and at most this long (of sound, not counting its pauses).
constexpr qsizetype kMinSkippedFrames = 1 * kFramesPerSecond;
constexpr qsizetype kMaxSkippedFrames = 60 * kFramesPerSecond;
// Leaving it out costs little when it sounds like music and much when it sounds
// like speech: by length alone a jingle passes for a sentence, and the sentences
// after it then only shift until two are merged into one clip, which costs about
// as much as a sentence half again as long as expected.
constexpr double kSkipMusicCost = 0.2;
constexpr double kSkipSpeechCost = 4.0;
// Speech dips between syllables: at least this share of its frames lie below half
// its mean power. Sustained music stays above it (the "low-energy ratio").
constexpr double kSpeechLowEnergyShare = 0.3;
// How much a longer pause counts for a sentence end against a better fitting length.
constexpr double kPauseWeight = 1.5;

QString clockText(double seconds) {
    const auto whole = qint64(seconds);
    return u"%1:%2"_s.arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
}

QString quoted(const QString &sentence) {
    return u"\""_s + (sentence.size() > 24 ? sentence.left(24) + u"\u2026"_s : sentence) + u'"';
}

class Aligner {
public:
    Aligner(const LevelProfile &profile, const SpeechMap &speech, const QStringList &sentences)
        : m_profile(profile), m_speech(speech), m_sentences(sentences),
          m_nodes(qsizetype(speech.pauses.size()) + 2) {
        m_cumulativeUnits.push_back(0);
        for (const QString &sentence : sentences)
            m_cumulativeUnits.push_back(m_cumulativeUnits.back() + spokenLength(sentence));
        std::vector<qsizetype> lengths;
        for (const Pause &pause : speech.pauses)
            lengths.push_back(pause.length());
        if (!lengths.empty()) {
            std::nth_element(lengths.begin(), lengths.begin() + qsizetype(lengths.size()) / 2,
                             lengths.end());
            m_medianPause = double(lengths[lengths.size() / 2]);
        }
    }

    // Node 0 is the start of the speech, node M+1 its end, node k the k-th pause.
    qsizetype endNode() const { return m_nodes - 1; }
    qsizetype voicedAt(qsizetype node) const {
        if (node == 0)
            return 0;
        if (node == endNode())
            return m_speech.voicedFrames;
        return m_speech.pauses[std::size_t(node - 1)].voicedBefore;
    }
    const Pause &pauseAt(qsizetype node) const {
        if (node == 0)
            return m_speech.leading;
        if (node == endNode())
            return m_speech.trailing;
        return m_speech.pauses[std::size_t(node - 1)];
    }

    // The nodes chosen: the start of sentence 1, then the end of each sentence.
    std::vector<qsizetype> run(double framesPerUnit);
    double units(qsizetype sentence) const {
        return m_cumulativeUnits[std::size_t(sentence) + 1] -
               m_cumulativeUnits[std::size_t(sentence)];
    }
    double cumulativeUnits(qsizetype sentences) const {
        return m_cumulativeUnits[std::size_t(sentences)];
    }
    // What leaving out the sound between frames [first, last) costs.
    double skipCost(qsizetype first, qsizetype last) const;
    // The first sentence no path reaches, or -1 when all are reached.
    qsizetype stuckAt() const { return m_stuckAt; }

private:
    struct Row {
        qsizetype first = 0;
        std::vector<float> cost;
        std::vector<qint32> from;
        float at(qsizetype node) const {
            const qsizetype k = node - first;
            return k >= 0 && k < qsizetype(cost.size()) ? cost[std::size_t(k)] : kUnreachable;
        }
    };
    // Nodes whose voiced position lies within [low, high].
    std::pair<qsizetype, qsizetype> nodesBetween(double low, double high) const;
    double spanCost(qsizetype sentence, double voiced, double expected) const;

    const LevelProfile &m_profile;
    const SpeechMap &m_speech;
    const QStringList &m_sentences;
    qsizetype m_nodes;
    std::vector<double> m_cumulativeUnits;
    double m_medianPause = 30;
    qsizetype m_stuckAt = -1;
};

std::pair<qsizetype, qsizetype> Aligner::nodesBetween(double low, double high) const {
    qsizetype lo = 0;
    qsizetype hi = m_nodes;
    // First node with voicedAt >= low.
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (double(voicedAt(mid)) < low)
            lo = mid + 1;
        else
            hi = mid;
    }
    qsizetype last = lo;
    qsizetype top = m_nodes;
    while (last < top) {
        const qsizetype mid = (last + top) / 2;
        if (double(voicedAt(mid)) <= high)
            last = mid + 1;
        else
            top = mid;
    }
    return {lo, last}; // [lo, last)
}

double Aligner::skipCost(qsizetype first, qsizetype last) const {
    double mean = 0;
    for (qsizetype f = first; f < last; ++f)
        mean += std::pow(10.0, m_profile.centiDb[std::size_t(f)] / 1000.0);
    mean /= double(std::max<qsizetype>(last - first, 1));
    qsizetype low = 0;
    for (qsizetype f = first; f < last; ++f)
        low += std::pow(10.0, m_profile.centiDb[std::size_t(f)] / 1000.0) < 0.5 * mean;
    const double share = double(low) / double(std::max<qsizetype>(last - first, 1));
    return share < kSpeechLowEnergyShare ? kSkipMusicCost : kSkipSpeechCost;
}

// Short sentences vary more in their length than long ones.
double spreadFor(double units) {
    return 0.15 + 0.35 / std::sqrt(units);
}
double slackFor(double units) {
    return 3.0 + 6.0 / units;
}

double Aligner::spanCost(qsizetype sentence, double voiced, double expected) const {
    const double spread = spreadFor(units(sentence));
    const double misfit = std::log(voiced / expected);
    return misfit * misfit / (2 * spread * spread);
}

std::vector<qsizetype> Aligner::run(double framesPerUnit) {
    const qsizetype count = m_sentences.size();
    const double band =
        std::max(double(90 * kFramesPerSecond), 0.03 * double(m_speech.voicedFrames));
    std::vector<Row> rows(static_cast<std::size_t>(count));
    m_stuckAt = -1;
    for (qsizetype i = 0; i < count; ++i) {
        stopIfInterrupted();
        const bool last = i == count - 1;
        const double expected = framesPerUnit * units(i);
        const double slack = slackFor(units(i));
        const double expectedEnd = framesPerUnit * cumulativeUnits(i + 1);
        auto [first, stop] = nodesBetween(expectedEnd - band, expectedEnd + band);
        if (last) {
            first = std::max(first, qsizetype(1));
            stop = m_nodes;
        } else {
            first = std::max(first, qsizetype(1));
            stop = std::min(stop, endNode());
        }
        Row &row = rows[std::size_t(i)];
        row.first = first;
        row.cost.assign(std::size_t(std::max<qsizetype>(stop - first, 0)), kUnreachable);
        row.from.assign(row.cost.size(), -1);
        bool reached = false;
        for (qsizetype b = first; b < stop; ++b) {
            double endCost = 0;
            if (!last) {
                endCost = -kPauseWeight * std::log1p(double(pauseAt(b).length()) / m_medianPause);
            } else if (b != endNode()) {
                // The last sentence ends before a stretch of sound that is left out.
                const qsizetype skipped = m_speech.voicedFrames - voicedAt(b);
                if (skipped < kMinSkippedFrames || skipped > kMaxSkippedFrames)
                    continue;
                endCost = skipCost(pauseAt(b).last, m_speech.trailing.first);
            }
            float best = kUnreachable;
            qint32 bestFrom = -1;
            const auto consider = [&](qsizetype a, double before) {
                const double voiced = double(voicedAt(b) - voicedAt(a));
                if (voiced <= 0 || voiced < expected / slack || voiced > expected * slack)
                    return;
                const double total = before + spanCost(i, voiced, expected) + endCost;
                if (total < best) {
                    best = float(total);
                    bestFrom = qint32(a);
                }
            };
            if (i == 0) {
                consider(0, 0.0);
                // The first sentence may start after a stretch of sound that is left out.
                for (qsizetype a = 1; a < b && voicedAt(a) <= kMaxSkippedFrames; ++a)
                    if (voicedAt(a) >= kMinSkippedFrames)
                        consider(a, skipCost(m_speech.leading.last, pauseAt(a).first));
            } else {
                const Row &previous = rows[std::size_t(i - 1)];
                const qsizetype top =
                    std::min(b - 1, previous.first + qsizetype(previous.cost.size()) - 1);
                for (qsizetype a = top; a >= previous.first; --a) {
                    if (double(voicedAt(b) - voicedAt(a)) > expected * slack)
                        break;
                    const float before = previous.at(a);
                    if (before != kUnreachable)
                        consider(a, double(before));
                }
            }
            row.cost[std::size_t(b - first)] = best;
            row.from[std::size_t(b - first)] = bestFrom;
            reached = reached || best != kUnreachable;
        }
        if (!reached) {
            m_stuckAt = i;
            return {};
        }
    }
    const Row &lastRow = rows.back();
    qsizetype end = -1;
    float best = kUnreachable;
    for (qsizetype k = 0; k < qsizetype(lastRow.cost.size()); ++k)
        if (lastRow.cost[std::size_t(k)] < best) {
            best = lastRow.cost[std::size_t(k)];
            end = lastRow.first + k;
        }
    std::vector<qsizetype> chosen(std::size_t(count) + 1);
    chosen[std::size_t(count)] = end;
    for (qsizetype i = count - 1; i >= 0; --i) {
        const Row &row = rows[std::size_t(i)];
        chosen[std::size_t(i)] = row.from[std::size_t(chosen[std::size_t(i) + 1] - row.first)];
    }
    return chosen;
}

} // namespace

std::vector<SentenceSpan> alignSentences(const LevelProfile &profile, const SpeechMap &speech,
                                         const QStringList &sentences, const QString &recordingName,
                                         const QString &transcriptName) {
    const qsizetype count = sentences.size();
    const auto pauses = qsizetype(speech.pauses.size());
    if (speech.voicedFrames == 0)
        throw InputError(recordingName + u": no speech found (only silence)"_s);
    if (pauses < count - 1)
        throw InputError(recordingName + u": only "_s + QString::number(pauses) +
                         u" pauses in the speech, but "_s + transcriptName + u" has "_s +
                         QString::number(count) +
                         u" sentences: the recording holds fewer, or they run together"_s);

    Aligner aligner(profile, speech, sentences);
    double framesPerUnit = double(speech.voicedFrames) / aligner.cumulativeUnits(count);
    // Nobody speaks a syllable in less than 70 ms or takes more than a second over it.
    const double secondsPerUnit = framesPerUnit / kFramesPerSecond;
    if (secondsPerUnit < 0.07 || secondsPerUnit > 1.0)
        throw InputError(recordingName + u" does not match "_s + transcriptName + u": "_s +
                         QString::number(double(speech.voicedFrames) / kFramesPerSecond, 'f', 1) +
                         u" s of speech for text that takes about "_s +
                         QString::number(aligner.cumulativeUnits(count) * 0.25, 'f', 0) +
                         u" s to say"_s);
    std::vector<qsizetype> chosen = aligner.run(framesPerUnit);
    if (!chosen.empty()) {
        // Left-out music made the first estimate of the speaking rate too slow.
        const qsizetype voiced = aligner.voicedAt(chosen.back()) - aligner.voicedAt(chosen.front());
        const double measured = double(voiced) / aligner.cumulativeUnits(count);
        if (std::abs(measured / framesPerUnit - 1.0) > 0.02) {
            std::vector<qsizetype> again = aligner.run(measured);
            if (!again.empty()) {
                chosen = std::move(again);
                framesPerUnit = measured;
            }
        }
    }
    if (chosen.empty()) {
        const qsizetype stuck = aligner.stuckAt();
        // Where the sentence would start if the speaking rate held up to it.
        const double voicedTarget = framesPerUnit * aligner.cumulativeUnits(stuck);
        qsizetype node = 0;
        while (node < aligner.endNode() && double(aligner.voicedAt(node + 1)) < voicedTarget)
            ++node;
        const double seconds = profile.seconds(double(aligner.pauseAt(node).last));
        throw InputError(
            recordingName + u" does not match "_s + transcriptName + u" from sentence "_s +
            QString::number(stuck + 1) + u' ' + quoted(sentences[stuck]) + u" on: near "_s +
            clockText(seconds) + u" no pause ends a stretch of speech of about "_s +
            QString::number(framesPerUnit * aligner.units(stuck) / kFramesPerSecond, 'f', 1) +
            u" s, which its length suggests"_s);
    }

    // A path through slack limits can still give a sentence far more or less sound
    // than its text takes: then the transcript is not what the recording says.
    for (qsizetype i = 0; i < count; ++i) {
        const double voiced = double(aligner.voicedAt(chosen[std::size_t(i) + 1]) -
                                     aligner.voicedAt(chosen[std::size_t(i)]));
        const double expected = framesPerUnit * aligner.units(i);
        const double limit = 2.0 + 3.0 / aligner.units(i);
        if (voiced > expected / limit && voiced < expected * limit)
            continue;
        const double seconds =
            profile.seconds(double(aligner.pauseAt(chosen[std::size_t(i)]).last));
        throw InputError(recordingName + u" does not match "_s + transcriptName +
                         u" at sentence "_s + QString::number(i + 1) + u' ' + quoted(sentences[i]) +
                         u", near "_s + clockText(seconds) + u": it would last "_s +
                         QString::number(voiced / kFramesPerSecond, 'f', 1) +
                         u" s of speech, where its length suggests about "_s +
                         QString::number(expected / kFramesPerSecond, 'f', 1) + u" s"_s);
    }

    std::vector<SentenceSpan> spans(static_cast<std::size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype from = chosen[std::size_t(i)];
        const qsizetype to = chosen[std::size_t(i) + 1];
        SentenceSpan &span = spans[std::size_t(i)];
        const Pause &before = aligner.pauseAt(from);
        const Pause &after = aligner.pauseAt(to);
        span.speechStart = frameStartSample(profile, before.last);
        span.speechEnd = frameStartSample(profile, after.first);
        span.limitBefore = from == 0 ? 0 : frameMiddleSample(profile, before.quietest);
        span.limitAfter = to == aligner.endNode() ? profile.totalFrames
                                                  : frameMiddleSample(profile, after.quietest);
    }
    return spans;
}

} // namespace vovozodo
