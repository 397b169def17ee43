#include "lessons/sentence_aligner.h"

#include "lessons/level_profile.h"
#include "lessons/misfit_checks.h"
#include "lessons/pause_finder.h"
#include "lessons/sentence_search.h"

#include <algorithm>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;
using namespace sentence_search;

namespace {

// Nobody speaks a syllable in less than 70 ms or takes more than a second over it.
constexpr double kFastestSecondsPerUnit = 0.07;
constexpr double kSlowestSecondsPerUnit = 1.0;
// A chosen span beyond this factor is reported as a misfit.
constexpr double kLimitFloor = 2.0;
constexpr double kLimitShort = 3.0;

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
    if (alignment.problems.empty())
        if (std::optional<FitProblem> problem = orderOff(aligner, path, profile))
            alignment.problems.push_back(std::move(*problem));
    std::stable_sort(
        alignment.problems.begin(), alignment.problems.end(),
        [](const FitProblem &a, const FitProblem &b) { return a.seconds < b.seconds; });
    return alignment;
}

} // namespace vovozodo
