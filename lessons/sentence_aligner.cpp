#include "lessons/sentence_aligner.h"

#include "lessons/interrupt.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"
#include "lessons/transcript_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace vovozodo {

using namespace Qt::StringLiterals;

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
// Nobody speaks a syllable in less than 70 ms or takes more than a second over it.
constexpr double kFastestSecondsPerUnit = 0.07;
constexpr double kSlowestSecondsPerUnit = 1.0;
// The speaking rate at a sentence is the median of this many sentences either
// side, so expected lengths follow a pace that drifts: each sentence is judged
// against its neighbours, which sharpens the test of fit, and left-out music
// no longer slows the estimate.
constexpr qsizetype kRateWindow = 10;
// How far a sentence's length may stray: spread = floor + short / sqrt(units),
// since short sentences vary more than long ones.
constexpr double kSpreadFloor = 0.15;
constexpr double kSpreadShort = 0.35;
// Spans beyond this factor of the expected length are not considered at all.
constexpr double kSlackFloor = 3.0;
constexpr double kSlackShort = 6.0;
// A chosen span beyond this factor is reported as a misfit.
constexpr double kLimitFloor = 2.0;
constexpr double kLimitShort = 3.0;
// The spreads are narrowed to what the recording's own sentences show (times
// this margin), but never below this share of the general ones: a steady
// speaker's one slow sentence is no misfit. The margin is the widest that
// bench/lessons-fit found no better at finding partings with; at a share of
// 0.4, judged at the local rate, a steady voice's one quick short sentence
// was taken for one not spoken.
constexpr double kOwnSpreadMargin = 1.0;
constexpr double kMinSpreadScale = 0.5;
// The median absolute deviation of a normal spread, as a share of its sigma.
constexpr double kMadToSigma = 1.4826;
// Speech left out in one place and a sentence missing in another are one
// sentence out of place when their lengths agree within this factor.
constexpr double kSameLengthFactor = 1.6;

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + qsizetype(values.size() / 2), values.end());
    return values[values.size() / 2];
}

double spreadFor(double units) {
    return kSpreadFloor + kSpreadShort / std::sqrt(units);
}
double slackFor(double units) {
    return kSlackFloor + kSlackShort / units;
}

// How a sentence is reached in the search.
enum class Step : qint8 {
    Spoken,     // right after the sentence before
    AfterMusic, // after music that is left out (a jingle, an interlude)
    AfterSkip,  // after speech that is left out
    Missing,    // not spoken: it ends where the sentence before ends
};

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

// The chosen match: for sentence i its start and end node and how it was reached.
struct Path {
    std::vector<qsizetype> starts;
    std::vector<qsizetype> ends;
    std::vector<qsizetype> froms;
    std::vector<Step> steps;
    qsizetype trailingFrom = -1; // speech after the last sentence left out, or -1
    bool empty() const { return ends.empty(); }
    // Whether speech was left out or a sentence given none.
    bool deviates() const {
        return trailingFrom >= 0 || std::any_of(steps.begin(), steps.end(), [](Step step) {
                   return step == Step::AfterSkip || step == Step::Missing;
               });
    }
};

class Aligner {
public:
    Aligner(const LevelProfile &profile, const SpeechMap &speech, const QStringList &sentences);

    qsizetype count() const { return qsizetype(m_cumulativeUnits.size()) - 1; }
    double totalUnits() const { return m_cumulativeUnits.back(); }
    double units(qsizetype sentence) const {
        return m_cumulativeUnits[std::size_t(sentence) + 1] -
               m_cumulativeUnits[std::size_t(sentence)];
    }
    // Node 0 is the start of the speech, node M+1 its end, node k the k-th pause.
    qsizetype endNode() const { return m_nodes - 1; }
    qsizetype voicedAt(qsizetype node) const;
    const Pause &pauseAt(qsizetype node) const;

    // Frames of speech a unit of text takes at sentence i.
    double rate(qsizetype sentence) const { return m_rates[std::size_t(sentence)]; }
    void setRate(double framesPerUnit);
    // Follows the rate the sentences of `path` show around each sentence.
    void setLocalRates(const Path &path);
    double voicedOf(const Path &path, qsizetype sentence) const {
        return double(voicedAt(path.ends[std::size_t(sentence)]) -
                      voicedAt(path.starts[std::size_t(sentence)]));
    }

    Path run();
    // Narrows the spread of lengths to what `path` shows of this speaker.
    void fitSpreadTo(const Path &path);
    qsizetype stuckAt() const { return m_stuckAt; }
    bool soundsLikeMusic(qsizetype firstFrame, qsizetype lastFrame) const;

private:
    // Nodes whose voiced position lies within [low, high].
    std::pair<qsizetype, qsizetype> nodesBetween(double low, double high) const;
    double spanCost(qsizetype sentence, double voiced, double expected) const;
    double endCost(qsizetype node, bool last) const;
    // What leaving out the sound before node `a` costs for the first sentence.
    double leadingCost(qsizetype a) const;
    bool islandIsMusic(qsizetype node) const { return m_musicIslands[std::size_t(node)]; }
    double trailingCost(qsizetype b) const;
    void fillRow(qsizetype i, const Row &previous, Row &row);
    Path tracePath(const std::vector<Row> &rows) const;

    const LevelProfile &m_profile;
    const SpeechMap &m_speech;
    qsizetype m_nodes;
    std::vector<double> m_cumulativeUnits;
    std::vector<double> m_rates;
    std::vector<double> m_expectedEnds; // where sentence i should end, in voiced frames
    double m_medianPause = 30;
    qsizetype m_stuckAt = -1;
    mutable std::vector<double> m_leadingCosts;
    std::vector<bool> m_musicIslands; // the sound after node k is music
    double m_spreadScale = 1.0;
};

Aligner::Aligner(const LevelProfile &profile, const SpeechMap &speech, const QStringList &sentences)
    : m_profile(profile), m_speech(speech), m_nodes(qsizetype(speech.pauses.size()) + 2),
      m_leadingCosts(std::size_t(m_nodes), std::numeric_limits<double>::quiet_NaN()) {
    m_cumulativeUnits.push_back(0);
    for (const QString &sentence : sentences)
        m_cumulativeUnits.push_back(m_cumulativeUnits.back() + spokenLength(sentence));
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
    const double spread = spreadFor(units(sentence)) * m_spreadScale;
    const double misfit = std::log(voiced / expected);
    return misfit * misfit / (2 * spread * spread);
}

double Aligner::endCost(qsizetype node, bool last) const {
    if (last || node == 0 || node == endNode())
        return 0;
    return -kPauseWeight * std::log1p(double(pauseAt(node).length()) / m_medianPause);
}

void Aligner::setRate(double framesPerUnit) {
    m_rates.assign(std::size_t(count()), framesPerUnit);
    m_expectedEnds.clear();
    for (const double units : m_cumulativeUnits)
        m_expectedEnds.push_back(framesPerUnit * units);
}

void Aligner::setLocalRates(const Path &path) {
    std::vector<double> logRates(std::size_t(count()), std::numeric_limits<double>::quiet_NaN());
    for (qsizetype i = 0; i < count(); ++i)
        if (const double voiced = voicedOf(path, i);
            path.steps[std::size_t(i)] != Step::Missing && voiced > 0)
            logRates[std::size_t(i)] = std::log(voiced / units(i));
    std::vector<double> rates(static_cast<std::size_t>(count()));
    std::vector<double> window;
    for (qsizetype i = 0; i < count(); ++i) {
        window.clear();
        for (qsizetype k = std::max<qsizetype>(i - kRateWindow, 0);
             k <= std::min(i + kRateWindow, count() - 1); ++k)
            if (!std::isnan(logRates[std::size_t(k)]))
                window.push_back(logRates[std::size_t(k)]);
        if (window.empty()) {
            rates[std::size_t(i)] = m_rates[std::size_t(i)];
            continue;
        }
        std::nth_element(window.begin(), window.begin() + qsizetype(window.size() / 2),
                         window.end());
        rates[std::size_t(i)] = std::exp(window[window.size() / 2]);
    }
    m_rates = std::move(rates);
    m_expectedEnds.assign(1, 0);
    for (qsizetype i = 0; i < count(); ++i)
        m_expectedEnds.push_back(m_expectedEnds.back() + m_rates[std::size_t(i)] * units(i));
}

void Aligner::fillRow(qsizetype i, const Row &previous, Row &row) {
    const bool last = i == count() - 1;
    const double expected = rate(i) * units(i);
    const double slack = slackFor(units(i));
    const double expectedEnd = m_expectedEnds[std::size_t(i) + 1];
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

void Aligner::fitSpreadTo(const Path &path) {
    std::vector<double> misfits;
    std::vector<double> spreads;
    for (qsizetype i = 0; i < count(); ++i) {
        const double voiced = voicedOf(path, i);
        if (path.steps[std::size_t(i)] == Step::Missing || voiced <= 0)
            continue;
        misfits.push_back(std::log(voiced / (rate(i) * units(i))));
        spreads.push_back(spreadFor(units(i)));
    }
    if (misfits.size() < 3)
        return;
    const double centre = median(misfits);
    for (double &misfit : misfits)
        misfit = std::abs(misfit - centre);
    const double own = kMadToSigma * median(misfits) * kOwnSpreadMargin;
    m_spreadScale = std::clamp(own / median(spreads), kMinSpreadScale, 1.0);
}

// A cut the match puts on a pause shorter than this share of the speaker's
// usual (median) sentence end, beside a pause at least that long and this many
// times longer left inside the sentence before or after, means the text puts
// its sentence ends elsewhere than the speaker does: a sentence left out or
// moved shifts the cuts off the strong pauses while the lengths may still look
// plausible. A long pause inside a sentence alone is no such sign (a speaker
// stops to think), nor a short one between sentences (a speaker hurries on).
constexpr double kPauseInversion = 2.0;
constexpr double kUsualEndShare = 0.5;
// A sentence at least this many times its expected length, holding a pause
// at least this share of the usual sentence end, holds two. Matching
// transcripts in bench/lessons-fit show such pauses only in sentences at most
// 1.1 times their length.
constexpr double kMergedLength = 1.35;
constexpr double kMergedPauseShare = 0.65;

// The worst such cut of `path`, else a sentence that holds two, or nothing.
std::optional<FitProblem> pausesOff(const Aligner &aligner, const Path &path,
                                    const LevelProfile &profile) {
    const qsizetype count = aligner.count();
    if (count < 3 || path.deviates())
        return std::nullopt;
    // The longest pause inside each sentence (its node), or -1.
    std::vector<qsizetype> inner(std::size_t(count), -1);
    for (qsizetype i = 0; i < count; ++i)
        for (qsizetype n = path.starts[std::size_t(i)] + 1; n < path.ends[std::size_t(i)]; ++n)
            if (inner[std::size_t(i)] < 0 ||
                aligner.pauseAt(n).length() > aligner.pauseAt(inner[std::size_t(i)]).length())
                inner[std::size_t(i)] = n;
    std::vector<double> cuts;
    for (qsizetype i = 0; i + 1 < count; ++i)
        cuts.push_back(double(aligner.pauseAt(path.ends[std::size_t(i)]).length()));
    const double usualEnd = median(cuts);
    std::optional<FitProblem> worst;
    double worstRatio = kPauseInversion;
    for (qsizetype i = 0; i + 1 < count; ++i) {
        if (path.steps[std::size_t(i) + 1] != Step::Spoken)
            continue;
        const double cut =
            double(std::max<qsizetype>(aligner.pauseAt(path.ends[std::size_t(i)]).length(), 1));
        if (cut >= kUsualEndShare * usualEnd)
            continue;
        for (const qsizetype sentence : {i, i + 1}) {
            const qsizetype node = inner[std::size_t(sentence)];
            if (node < 0)
                continue;
            const Pause &pause = aligner.pauseAt(node);
            const double ratio = double(pause.length()) / cut;
            if (double(pause.length()) < kUsualEndShare * usualEnd || ratio < worstRatio)
                continue;
            worstRatio = ratio;
            worst = FitProblem{
                Misfit::PausesOff, sentence, profile.seconds(double(pause.first)), 0,
                u"the speaker pauses "_s +
                    QString::number(profile.seconds(double(pause.length())), 'f', 2) +
                    u" s inside it, but only "_s + QString::number(profile.seconds(cut), 'f', 2) +
                    u" s where the transcript ends "_s +
                    (sentence == i ? u"it"_s : u"the sentence before it"_s)};
        }
    }
    if (worst)
        return worst;
    // A sentence that holds a pause like a sentence end and runs far longer
    // than its text takes holds a second sentence the transcript lacks: the
    // part that fits its text less.
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype node = inner[std::size_t(i)];
        if (node < 0 || double(aligner.pauseAt(node).length()) < kMergedPauseShare * usualEnd)
            continue;
        const double expected = aligner.rate(i) * aligner.units(i);
        if (aligner.voicedOf(path, i) < kMergedLength * expected)
            continue;
        const auto fit = [&](qsizetype from, qsizetype to) {
            return std::abs(std::log(
                double(std::max<qsizetype>(aligner.voicedAt(to) - aligner.voicedAt(from), 1)) /
                expected));
        };
        const bool extraAfter =
            fit(path.starts[std::size_t(i)], node) < fit(node, path.ends[std::size_t(i)]);
        return FitProblem{Misfit::RecordingHasMore,
                          extraAfter ? i + 1 : i,
                          profile.seconds(double(aligner.pauseAt(node).last)),
                          0,
                          {}};
    }
    return std::nullopt;
}

// Speech left out in one place and a sentence missing in another, of about the
// same length: one sentence out of place.
void pairOutOfPlace(std::vector<FitProblem> &problems, const std::vector<double> &leftOutFrames,
                    const std::vector<double> &expectedFrames) {
    for (std::size_t m = 0; m < problems.size(); ++m) {
        if (problems[m].kind != Misfit::TranscriptHasMore)
            continue;
        for (std::size_t r = 0; r < problems.size(); ++r) {
            if (problems[r].kind != Misfit::RecordingHasMore)
                continue;
            const double ratio = leftOutFrames[r] / expectedFrames[m];
            if (ratio < 1 / kSameLengthFactor || ratio > kSameLengthFactor)
                continue;
            problems[m].kind = Misfit::OutOfPlace;
            problems[m].elsewhereSeconds = problems[r].seconds;
            problems[r].kind = Misfit::Unmatched; // marked for removal
            break;
        }
    }
    std::erase_if(problems, [](const FitProblem &p) { return p.kind == Misfit::Unmatched; });
}

Alignment unmatched(QString detail) {
    Alignment alignment;
    alignment.problems.push_back({Misfit::Unmatched, 0, 0, 0, std::move(detail)});
    return alignment;
}

} // namespace

Alignment alignSentences(const LevelProfile &profile, const SpeechMap &speech,
                         const QStringList &sentences) {
    const qsizetype count = sentences.size();
    const auto pauses = qsizetype(speech.pauses.size());
    if (speech.voicedFrames == 0 || count == 0)
        return unmatched(u"no speech found (only silence)"_s);
    if (pauses < count - 1)
        return unmatched(u"only "_s + QString::number(pauses) + u" pauses in the speech for "_s +
                         QString::number(count) +
                         u" sentences: the recording holds fewer, or they run together"_s);

    Aligner aligner(profile, speech, sentences);
    const double framesPerUnit = double(speech.voicedFrames) / aligner.totalUnits();
    const double secondsPerUnit = framesPerUnit / kLevelFramesPerSecond;
    if (secondsPerUnit < kFastestSecondsPerUnit || secondsPerUnit > kSlowestSecondsPerUnit)
        return unmatched(
            QString::number(double(speech.voicedFrames) / kLevelFramesPerSecond, 'f', 1) +
            u" s of speech for text that takes about "_s +
            QString::number(aligner.totalUnits() * 0.25, 'f', 0) + u" s to say"_s);
    aligner.setRate(framesPerUnit);
    Path path = aligner.run();
    if (!path.empty()) {
        // Once more at the rate the sentences themselves show around each one:
        // left-out music made the first estimate too slow, and a speaker may
        // change pace part-way.
        aligner.setLocalRates(path);
        if (Path again = aligner.run(); !again.empty())
            path = std::move(again);
        else
            aligner.setRate(framesPerUnit);
    }
    if (!path.empty() && !path.deviates()) {
        // Once more, with the spread this speaker shows: a steady speaker's
        // sentences that hold two or half a sentence stand out. Only to find
        // such partings: the cuts of a transcript that fits stay those of the
        // general spread, which weighs the pauses more.
        aligner.fitSpreadTo(path);
        if (Path narrow = aligner.run(); !narrow.empty() && narrow.deviates())
            path = std::move(narrow);
    }
    if (path.empty()) {
        const qsizetype stuck = aligner.stuckAt();
        Alignment alignment = unmatched(
            u"no pause ends a stretch of speech of about "_s +
            QString::number(aligner.rate(stuck) * aligner.units(stuck) / kLevelFramesPerSecond, 'f',
                            1) +
            u" s, which its length suggests"_s);
        alignment.problems[0].sentence = stuck;
        return alignment;
    }

    Alignment alignment;
    alignment.spans.resize(std::size_t(count));
    std::vector<double> leftOut;  // per problem: frames of speech left out
    std::vector<double> expected; // per problem: frames the sentence takes
    const auto report = [&](Misfit kind, qsizetype sentence, double frame, double skipped) {
        alignment.problems.push_back({kind, sentence, profile.seconds(frame), 0, {}});
        leftOut.push_back(skipped);
        const qsizetype near = std::min(sentence, count - 1);
        expected.push_back(aligner.rate(near) * aligner.units(near));
    };
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype from = path.starts[std::size_t(i)];
        const qsizetype to = path.ends[std::size_t(i)];
        const Pause &before = aligner.pauseAt(from);
        const Pause &after = aligner.pauseAt(to);
        SentenceSpan &span = alignment.spans[std::size_t(i)];
        const double voiced = double(aligner.voicedAt(to) - aligner.voicedAt(from));
        switch (path.steps[std::size_t(i)]) {
        case Step::Missing:
            report(Misfit::TranscriptHasMore, i, double(after.quietest), 0);
            span.speechStart = span.speechEnd = span.limitBefore = span.limitAfter =
                frameMiddleSample(profile, after.quietest);
            continue;
        case Step::AfterSkip: {
            const qsizetype skippedFrom = path.froms[std::size_t(i)];
            report(Misfit::RecordingHasMore, i, double(aligner.pauseAt(skippedFrom).last),
                   double(aligner.voicedAt(from) - aligner.voicedAt(skippedFrom)));
            break;
        }
        case Step::Spoken:
        case Step::AfterMusic:
            break;
        }
        // A path through the slack limits can still give a sentence far more or
        // less sound than its text takes.
        const double wanted = aligner.rate(i) * aligner.units(i);
        const double limit = kLimitFloor + kLimitShort / aligner.units(i);
        if (voiced <= wanted / limit || voiced >= wanted * limit) {
            report(Misfit::LengthOff, i, double(before.last), 0);
            alignment.problems.back().detail =
                u"it would last "_s + QString::number(voiced / kLevelFramesPerSecond, 'f', 1) +
                u" s of speech, where its length suggests about "_s +
                QString::number(wanted / kLevelFramesPerSecond, 'f', 1) + u" s"_s;
        }
        span.speechStart = frameStartSample(profile, before.last);
        span.speechEnd = frameStartSample(profile, after.first);
        span.limitBefore = from == 0 ? 0 : frameMiddleSample(profile, before.quietest);
        span.limitAfter = to == aligner.endNode() ? profile.totalFrames
                                                  : frameMiddleSample(profile, after.quietest);
    }
    if (path.trailingFrom >= 0)
        report(Misfit::RecordingHasMore, count, double(aligner.pauseAt(path.trailingFrom).last),
               double(speech.voicedFrames - aligner.voicedAt(path.trailingFrom)));
    pairOutOfPlace(alignment.problems, leftOut, expected);
    if (alignment.problems.empty())
        if (std::optional<FitProblem> problem = pausesOff(aligner, path, profile))
            alignment.problems.push_back(std::move(*problem));
    std::stable_sort(
        alignment.problems.begin(), alignment.problems.end(),
        [](const FitProblem &a, const FitProblem &b) { return a.seconds < b.seconds; });
    return alignment;
}

} // namespace vovozodo
