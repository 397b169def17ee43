#include "lessons/sentence_search.h"

#include "lessons/interrupt.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vovozodo::sentence_search {

namespace {

constexpr float kUnreachable = std::numeric_limits<float>::infinity();
// Music before the first sentence or after the last is left out when it lasts
// at least this long and at most this long (of sound, not counting its pauses).
constexpr qsizetype kMinSkippedFrames = 1 * kLevelFramesPerSecond;
constexpr qsizetype kMaxSkippedFrames = 60 * kLevelFramesPerSecond;
// Leaving out music costs little: a jingle is no sentence.
constexpr double kSkipMusicCost = 0.2;
// Leaving out speech, or giving a sentence none, costs what a sentence about
// three spreads off its expected length costs: more than the sentences of a
// matching transcript ever pay together at one place, less than two sentences
// run into one clip.
constexpr double kDeviationCost = 5.0;
// Speech dips between syllables: at least this share of its frames lie below half
// its mean power. Sustained music stays above it (the "low-energy ratio").
constexpr double kSpeechLowEnergyShare = 0.3;
// How much a longer pause counts for a sentence end against a better fitting length.
constexpr double kPauseWeight = 1.5;
// Each sentence's end is looked for this far around where the rate puts it.
constexpr double kBandSeconds = 90;
constexpr double kBandShare = 0.03;

} // namespace

struct Row {
    qsizetype first = 0;
    std::vector<float> cost;
    std::vector<qint32> from;  // where the sentence before ends
    std::vector<qint32> start; // where this sentence starts
    std::vector<Step> step;
    float at(qsizetype node) const {
        const qsizetype k = node - first;
        return k >= 0 && k < qsizetype(cost.size()) ? cost[std::size_t(k)] : kUnreachable;
    }
    qsizetype stop() const { return first + qsizetype(cost.size()); }
};

Aligner::Aligner(const LevelProfile &profile, const SpeechMap &speech, const QStringList &sentences)
    : m_profile(profile), m_speech(speech), m_nodes(qsizetype(speech.pauses.size()) + 2),
      m_pace(sentences),
      m_leadingCosts(std::size_t(m_nodes), std::numeric_limits<double>::quiet_NaN()) {
    std::vector<qsizetype> lengths;
    for (const Pause &pause : speech.pauses)
        lengths.push_back(pause.length());
    if (!lengths.empty()) {
        std::nth_element(lengths.begin(), lengths.begin() + qsizetype(lengths.size()) / 2,
                         lengths.end());
        m_medianPause = double(std::max<qsizetype>(lengths[lengths.size() / 2], 1));
    }
    m_musicIslands.resize(std::size_t(m_nodes));
    for (qsizetype node = 1; node + 1 < endNode(); ++node)
        m_musicIslands[std::size_t(node)] =
            voicedAt(node + 1) - voicedAt(node) >= kMinSkippedFrames &&
            soundsLikeMusic(pauseAt(node).last, pauseAt(node + 1).first);
}

qsizetype Aligner::voicedAt(qsizetype node) const {
    if (node == 0)
        return 0;
    if (node == endNode())
        return m_speech.voicedFrames;
    return m_speech.pauses[std::size_t(node - 1)].voicedBefore;
}

const Pause &Aligner::pauseAt(qsizetype node) const {
    if (node == 0)
        return m_speech.leading;
    if (node == endNode())
        return m_speech.trailing;
    return m_speech.pauses[std::size_t(node - 1)];
}

std::pair<qsizetype, qsizetype> Aligner::nodesBetween(double low, double high) const {
    const auto firstAbove = [&](auto below) {
        qsizetype lo = 0;
        qsizetype hi = m_nodes;
        while (lo < hi) {
            const qsizetype mid = (lo + hi) / 2;
            if (below(double(voicedAt(mid))))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    return {firstAbove([&](double v) { return v < low; }),
            firstAbove([&](double v) { return v <= high; })};
}

bool Aligner::soundsLikeMusic(qsizetype firstFrame, qsizetype lastFrame) const {
    const qsizetype frames = std::max<qsizetype>(lastFrame - firstFrame, 1);
    const auto power = [&](qsizetype f) {
        return std::pow(10.0, m_profile.centiDb[std::size_t(f)] / 1000.0);
    };
    double mean = 0;
    for (qsizetype f = firstFrame; f < lastFrame; ++f)
        mean += power(f);
    mean /= double(frames);
    qsizetype low = 0;
    for (qsizetype f = firstFrame; f < lastFrame; ++f)
        low += power(f) < 0.5 * mean;
    return double(low) / double(frames) < kSpeechLowEnergyShare;
}

double Aligner::leadingCost(qsizetype a) const {
    double &cost = m_leadingCosts[std::size_t(a)];
    if (std::isnan(cost)) {
        const qsizetype skipped = voicedAt(a);
        cost = skipped >= kMinSkippedFrames && skipped <= kMaxSkippedFrames &&
                       soundsLikeMusic(m_speech.leading.last, pauseAt(a).first)
                   ? kSkipMusicCost
                   : kDeviationCost;
    }
    return cost;
}

double Aligner::trailingCost(qsizetype b) const {
    if (b == endNode())
        return 0;
    const qsizetype skipped = m_speech.voicedFrames - voicedAt(b);
    if (skipped >= kMinSkippedFrames && skipped <= kMaxSkippedFrames &&
        soundsLikeMusic(pauseAt(b).last, m_speech.trailing.first))
        return kSkipMusicCost;
    return kDeviationCost;
}

double Aligner::spanCost(qsizetype sentence, double voiced, double expected) const {
    const double spread = m_pace.spread(sentence);
    const double misfit = std::log(voiced / expected);
    return misfit * misfit / (2 * spread * spread);
}

double Aligner::endCost(qsizetype node, bool last) const {
    if (last || node == 0 || node == endNode())
        return 0;
    return -kPauseWeight * std::log1p(double(pauseAt(node).length()) / m_medianPause);
}

std::vector<double> Aligner::voicedPerSentence(const Path &path) const {
    std::vector<double> voiced(std::size_t(count()), 0);
    for (qsizetype i = 0; i < count(); ++i)
        if (path.steps[std::size_t(i)] != Step::Missing)
            voiced[std::size_t(i)] = voicedOf(path, i);
    return voiced;
}

void Aligner::fillRow(qsizetype i, const Row &previous, Row &row) {
    const bool last = i == count() - 1;
    const double expected = rate(i) * units(i);
    const double slack = slackFor(units(i));
    const double expectedEnd = m_pace.expectedEnd(i);
    const double band =
        std::max(kBandSeconds * kLevelFramesPerSecond, kBandShare * double(m_speech.voicedFrames));
    auto [first, stop] = nodesBetween(expectedEnd - band, expectedEnd + band);
    if (last)
        stop = m_nodes;
    row.first = first;
    const auto size = std::size_t(std::max<qsizetype>(stop - first, 0));
    row.cost.assign(size, kUnreachable);
    row.from.assign(size, -1);
    row.start.assign(size, -1);
    row.step.assign(size, Step::Spoken);

    // The best end of the sentence before among the nodes before each node, for
    // speech left out in between.
    std::vector<float> bestBefore(std::size_t(std::max<qsizetype>(stop - previous.first, 0)),
                                  kUnreachable);
    std::vector<qint32> bestBeforeAt(bestBefore.size(), -1);
    for (std::size_t k = 1; k < bestBefore.size(); ++k) {
        const qsizetype node = previous.first + qsizetype(k) - 1;
        bestBefore[k] = bestBefore[k - 1];
        bestBeforeAt[k] = bestBeforeAt[k - 1];
        if (previous.at(node) < bestBefore[k]) {
            bestBefore[k] = previous.at(node);
            bestBeforeAt[k] = qint32(node);
        }
    }

    for (qsizetype b = first; b < stop; ++b) {
        const std::size_t cell = std::size_t(b - first);
        const auto offer = [&](double cost, qsizetype from, qsizetype start, Step step) {
            if (cost < row.cost[cell]) {
                row.cost[cell] = float(cost);
                row.from[cell] = qint32(from);
                row.start[cell] = qint32(start);
                row.step[cell] = step;
            }
        };
        const double atEnd = endCost(b, last);
        for (qsizetype a = b - 1; a >= std::max<qsizetype>(previous.first, 0); --a) {
            const double voiced = double(voicedAt(b) - voicedAt(a));
            if (voiced > expected * slack)
                break;
            if (voiced <= 0 || voiced < expected / slack)
                continue;
            const double span = spanCost(i, voiced, expected) + atEnd;
            if (const float before = previous.at(a); before != kUnreachable)
                offer(double(before) + span, a, a, Step::Spoken);
            if (i == 0 && a > 0) {
                const double skip = leadingCost(a);
                offer(skip + span, 0, a,
                      skip == kSkipMusicCost ? Step::AfterMusic : Step::AfterSkip);
            } else if (i > 0) {
                // An interlude: one stretch of music between two pauses.
                if (const float before = previous.at(a - 1);
                    before != kUnreachable && a > 1 && islandIsMusic(a - 1))
                    offer(double(before) + kSkipMusicCost + span, a - 1, a, Step::AfterMusic);
                const qsizetype k = a - previous.first;
                if (k > 0 && k < qsizetype(bestBefore.size()) &&
                    bestBefore[std::size_t(k)] != kUnreachable)
                    offer(double(bestBefore[std::size_t(k)]) + kDeviationCost + span,
                          bestBeforeAt[std::size_t(k)], a, Step::AfterSkip);
            }
        }
        if (const float before = previous.at(b); before != kUnreachable)
            offer(double(before) + kDeviationCost, b, b, Step::Missing);
    }
}

Path Aligner::tracePath(const std::vector<Row> &rows) const {
    const Row &lastRow = rows.back();
    qsizetype end = -1;
    double best = kUnreachable;
    for (qsizetype b = lastRow.first; b < lastRow.stop(); ++b) {
        const float cost = lastRow.at(b);
        if (cost == kUnreachable)
            continue;
        const double total = double(cost) + trailingCost(b);
        if (total < best) {
            best = total;
            end = b;
        }
    }
    Path path;
    if (end < 0)
        return path;
    const auto n = std::size_t(count());
    path.starts.resize(n);
    path.ends.resize(n);
    path.froms.resize(n);
    path.steps.resize(n);
    path.trailingFrom = trailingCost(end) == kDeviationCost ? end : -1;
    qsizetype node = end;
    for (qsizetype i = count() - 1; i >= 0; --i) {
        const Row &row = rows[std::size_t(i) + 1];
        const auto cell = std::size_t(node - row.first);
        path.ends[std::size_t(i)] = node;
        path.starts[std::size_t(i)] = row.start[cell];
        path.froms[std::size_t(i)] = row.from[cell];
        path.steps[std::size_t(i)] = row.step[cell];
        node = row.from[cell];
    }
    return path;
}

Path Aligner::run() {
    // Row 0 stands for the start of the speech; row i + 1 for sentence i.
    std::vector<Row> rows(std::size_t(count()) + 1);
    rows[0].first = 0;
    rows[0].cost = {0.0f};
    m_stuckAt = -1;
    for (qsizetype i = 0; i < count(); ++i) {
        stopIfInterrupted();
        Row &row = rows[std::size_t(i) + 1];
        fillRow(i, rows[std::size_t(i)], row);
        if (std::all_of(row.cost.begin(), row.cost.end(),
                        [](float c) { return c == kUnreachable; })) {
            m_stuckAt = i;
            return {};
        }
    }
    return tracePath(rows);
}

} // namespace vovozodo::sentence_search
