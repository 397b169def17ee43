#include "lessons/misfit_checks.h"

#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"
#include "lessons/sentence_search.h"

#include <cmath>

namespace vovozodo::sentence_search {

using namespace Qt::StringLiterals;

namespace {

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
// Speech left out in one place and a sentence missing in another are one
// sentence out of place when their lengths agree within this factor.
constexpr double kSameLengthFactor = 1.6;

} // namespace

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

} // namespace vovozodo::sentence_search
