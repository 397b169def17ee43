#include "editor/realign.h"

#include "editor/lesson_draft.h"
#include "editor/lesson_input.h"
#include "editor/speech_guide.h"
#include "lessons/input_error.h"
#include "lessons/sentence_aligner.h"
#include "lessons/transcript_reader.h"

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// The draft's sentences [first, last] found again within samples [from, to).
std::vector<SentenceSpan> alignStretch(const SpeechGuide &guide, const QStringList &sentences,
                                       qint64 from, qint64 to) {
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
    if (!alignment.fits() || alignment.spans.size() != std::size_t(sentences.size()))
        throw InputError(QString());
    std::vector<SentenceSpan> spans = alignment.spans;
    const qint64 offset = qint64(firstFrame) * whole.hop;
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
            std::vector<SentenceSpan> spans;
            try {
                spans = alignStretch(guide, sentences, begin, finish);
            } catch (const InputError &) {
                spans = evenDraft(guide, sentences, begin, finish).spans;
                notes.append(u"Sentences %1 to %2 do not fit the recording between their cuts; "
                             u"spread by their lengths"_s.arg(first + 1)
                                 .arg(k + 1));
            }
            std::copy(spans.begin(), spans.end(), after.spans.begin() + first);
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

} // namespace vovozodo
