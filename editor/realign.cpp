#include "editor/realign.h"

#include "editor/lesson_draft.h"
#include "editor/lesson_input.h"
#include "editor/speech_guide.h"
#include "lessons/misfit_description.h"
#include "lessons/sentence_aligner.h"
#include "lessons/transcript_reader.h"

#include <algorithm>
#include <numeric>
#include <optional>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// The draft's sentences [first, last] found again within samples [from, to).
// Where they do not fit, `problems` says why, with its times in the whole
// recording's seconds, and nothing is returned.
std::optional<std::vector<SentenceSpan>> alignStretch(const SpeechGuide &guide,
                                                      const QStringList &sentences, qint64 from,
                                                      qint64 to,
                                                      std::vector<FitProblem> &problems) {
    const LevelProfile &whole = guide.profile();
    const qsizetype firstFrame = from / whole.hop;
    const qsizetype lastFrame = std::min(whole.frameCount(), (to + whole.hop - 1) / whole.hop);
    LevelProfile part;
    part.sampleRate = whole.sampleRate;
    part.channels = whole.channels;
    part.hop = whole.hop;
    part.centiDb.assign(whole.centiDb.begin() + firstFrame, whole.centiDb.begin() + lastFrame);
    part.totalFrames = std::min(whole.totalFrames, to) - qint64(firstFrame) * whole.hop;
    // Speech judged against the whole recording's threshold, not the stretch's own.
    std::vector<char> speech(part.centiDb.size());
    const auto threshold = int(guide.speech().thresholdDb * 100);
    for (std::size_t f = 0; f < speech.size(); ++f)
        speech[f] = part.centiDb[f] > threshold;
    const SpeechMap map = mapSpeech(part, std::move(speech));
    const Alignment alignment = alignSentences(part, map, sentences);
    const qint64 offset = qint64(firstFrame) * whole.hop;
    if (!alignment.fits() || alignment.spans.size() != std::size_t(sentences.size())) {
        problems = alignment.problems;
        for (FitProblem &problem : problems) {
            problem.seconds += double(offset) / whole.sampleRate;
            problem.elsewhereSeconds += double(offset) / whole.sampleRate;
        }
        return std::nullopt;
    }
    std::vector<SentenceSpan> spans = alignment.spans;
    for (SentenceSpan &span : spans) {
        span.speechStart += offset;
        span.speechEnd += offset;
        span.limitBefore += offset;
        span.limitAfter += offset;
    }
    spans.front().limitBefore = from;
    spans.back().limitAfter = to;
    return spans;
}

} // namespace

LessonDraft withRestRealigned(const LessonDraft &draft, const SpeechGuide &guide, qsizetype from,
                              QStringList &notes) {
    if (from < 0 || from >= draft.cutCount())
        return draft;
    LessonDraft after = draft;
    // Every mark after the cut is found again or goes.
    std::erase_if(after.misfits, [&](const MisfitMark &mark) { return mark.sentence > from; });
    qsizetype start = from; // the fixed cut the stretch begins at
    for (qsizetype k = from + 1; k <= draft.cutCount(); ++k) {
        const bool end = k == draft.cutCount();
        if (!end && !draft.handPlaced[std::size_t(k)])
            continue;
        // Sentences start+1 .. k lie between two fixed cuts.
        const qsizetype first = start + 1;
        const qsizetype count = k - start;
        if (count > 1) {
            const qint64 begin = draft.cut(start);
            const qint64 finish = draft.spans[std::size_t(k)].limitAfter;
            const QStringList sentences = draft.sentences.mid(first, count);
            std::vector<FitProblem> problems;
            std::optional<std::vector<SentenceSpan>> spans =
                alignStretch(guide, sentences, begin, finish, problems);
            if (!spans) {
                spans = evenDraft(guide, sentences, begin, finish).spans;
                notes.append(u"Sentences %1 to %2 do not fit the recording between their cuts; "
                             u"spread by their lengths"_s.arg(first + 1)
                                 .arg(k + 1));
                std::vector<int> rows(std::size_t(sentences.size()));
                std::iota(rows.begin(), rows.end(), int(first) + 1);
                for (const FitProblem &problem : problems)
                    markMisfit(after, problem, first, k, guide.sampleRate(),
                               describeMisfit(problem, sentences, rows, u"Sentence list"_s));
            }
            std::copy(spans->begin(), spans->end(), after.spans.begin() + first);
        }
        start = k;
    }
    return after;
}

std::vector<bool> lengthMisfits(const LessonDraft &draft) {
    std::vector<double> units;
    double totalUnits = 0;
    qint64 totalSpeech = 0;
    for (qsizetype i = 0; i < draft.sentences.size(); ++i) {
        units.push_back(std::max(1.0, spokenLength(draft.sentences[i])));
        totalUnits += units.back();
        const SentenceSpan &span = draft.spans[std::size_t(i)];
        totalSpeech += span.speechEnd - span.speechStart;
    }
    std::vector<bool> misfits;
    for (qsizetype i = 0; i < draft.sentences.size(); ++i) {
        const SentenceSpan &span = draft.spans[std::size_t(i)];
        const double expected = double(totalSpeech) * units[std::size_t(i)] / totalUnits;
        // As lenient as the aligner is with a short sentence.
        const double limit = 2.0 + 3.0 / units[std::size_t(i)];
        const auto heard = double(span.speechEnd - span.speechStart);
        misfits.push_back(heard <= expected / limit || heard >= expected * limit);
    }
    return misfits;
}

void markMisfit(LessonDraft &draft, const FitProblem &problem, qsizetype firstSentence,
                qsizetype lastSentence, int sampleRate, const QString &description) {
    const qsizetype last = std::min(lastSentence, draft.sentences.size() - 1);
    if (last < firstSentence)
        return;
    const qsizetype sentence = firstSentence + problem.sentence;
    // Speech the text lacks lies between two sentences: both are concerned. A
    // text matched nowhere names no sentence but where the match broke off.
    std::vector<qsizetype> concerned{sentence};
    if (problem.kind == Misfit::RecordingHasMore)
        concerned = {sentence - 1, sentence};
    else if (problem.kind == Misfit::Unmatched && problem.sentence == 0)
        return;
    const auto at = qint64(problem.seconds * sampleRate);
    for (qsizetype s : concerned) {
        s = std::clamp<qsizetype>(s, firstSentence, last);
        const MisfitMark mark{s, at, description};
        if (std::find(draft.misfits.begin(), draft.misfits.end(), mark) != draft.misfits.end())
            continue;
        // In sentence order, as a kept session reads them back.
        const auto place = std::upper_bound(
            draft.misfits.begin(), draft.misfits.end(), s,
            [](qsizetype sentence, const MisfitMark &other) { return sentence < other.sentence; });
        draft.misfits.insert(place, mark);
    }
}

} // namespace vovozodo
