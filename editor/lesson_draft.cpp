#include "editor/lesson_draft.h"

#include "editor/speech_guide.h"

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// Closer than this two cuts would leave a sentence no sound to play.
constexpr qint64 kMinSentenceMs = 10;

void refindSpeech(SentenceSpan &span, const SpeechGuide &guide) {
    const auto [first, last] = guide.speechWithin(span.limitBefore, span.limitAfter);
    span.speechStart = first;
    span.speechEnd = last;
}

// Drops the marks on sentences [first, last] and moves those after by `shift`.
void remarkSentences(LessonDraft &draft, qsizetype first, qsizetype last, qsizetype shift) {
    std::erase_if(draft.misfits, [&](const MisfitMark &mark) {
        return mark.sentence >= first && mark.sentence <= last;
    });
    for (MisfitMark &mark : draft.misfits)
        if (mark.sentence > last)
            mark.sentence += shift;
}

} // namespace

QStringList LessonDraft::misfitsOf(qsizetype sentence) const {
    QStringList lines;
    for (const MisfitMark &mark : misfits)
        if (mark.sentence == sentence)
            lines.append(mark.description);
    return lines;
}

qsizetype LessonDraft::sentenceAt(qint64 sample) const {
    for (std::size_t i = spans.size(); i-- > 0;)
        if (sample >= spans[i].limitBefore)
            return sample < spans[i].limitAfter ? qsizetype(i) : -1;
    return -1;
}

qint64 LessonDraft::lowestCut(qsizetype k) const {
    return spans[std::size_t(k)].limitBefore + 1;
}

qint64 LessonDraft::highestCut(qsizetype k) const {
    return spans[std::size_t(k) + 1].limitAfter - 1;
}

LessonDraft withCutMoved(const LessonDraft &draft, const SpeechGuide &guide, qsizetype cut,
                         qint64 sample) {
    if (cut < 0 || cut >= draft.cutCount())
        return draft;
    const qint64 gap = guide.samplesOfMs(kMinSentenceMs);
    const qint64 low = draft.lowestCut(cut) - 1 + gap;
    const qint64 high = draft.highestCut(cut) + 1 - gap;
    if (low > high)
        return draft;
    LessonDraft after = draft;
    const qint64 at = std::clamp(sample, low, high);
    SentenceSpan &before = after.spans[std::size_t(cut)];
    SentenceSpan &next = after.spans[std::size_t(cut) + 1];
    before.limitAfter = next.limitBefore = at;
    refindSpeech(before, guide);
    refindSpeech(next, guide);
    after.handPlaced[std::size_t(cut)] = true;
    remarkSentences(after, cut, cut + 1, 0);
    return after;
}

LessonDraft withSplit(const LessonDraft &draft, const SpeechGuide &guide, qint64 sample,
                      qsizetype caret) {
    const qsizetype i = draft.sentenceAt(sample);
    const qint64 gap = guide.samplesOfMs(kMinSentenceMs);
    if (i < 0 || sample - draft.spans[std::size_t(i)].limitBefore < gap ||
        draft.spans[std::size_t(i)].limitAfter - sample < gap)
        return draft;
    LessonDraft after = draft;
    const QString text = draft.sentences[i];
    caret = std::clamp<qsizetype>(caret, 0, text.size());
    after.sentences[i] = text.left(caret).trimmed();
    after.sentences.insert(i + 1, text.mid(caret).trimmed());
    SentenceSpan second = draft.spans[std::size_t(i)];
    SentenceSpan &first = after.spans[std::size_t(i)];
    first.limitAfter = second.limitBefore = sample;
    refindSpeech(first, guide);
    refindSpeech(second, guide);
    after.spans.insert(after.spans.begin() + i + 1, second);
    after.handPlaced.insert(after.handPlaced.begin() + i, true);
    remarkSentences(after, i, i, 1);
    return after;
}

LessonDraft withCutRemoved(const LessonDraft &draft, qsizetype cut) {
    if (cut < 0 || cut >= draft.cutCount())
        return draft;
    LessonDraft after = draft;
    const auto k = std::size_t(cut);
    after.sentences[cut] = joinedSentences(draft.sentences[cut], draft.sentences[cut + 1]);
    after.sentences.removeAt(cut + 1);
    after.spans[k].speechEnd = draft.spans[k + 1].speechEnd;
    after.spans[k].limitAfter = draft.spans[k + 1].limitAfter;
    after.spans.erase(after.spans.begin() + cut + 1);
    after.handPlaced.erase(after.handPlaced.begin() + cut);
    remarkSentences(after, cut, cut + 1, -1);
    return after;
}

LessonDraft withText(const LessonDraft &draft, qsizetype sentence, const QString &text) {
    if (sentence < 0 || sentence >= draft.sentences.size())
        return draft;
    LessonDraft after = draft;
    after.sentences[sentence] = text.simplified();
    return after;
}

QString joinedSentences(const QString &first, const QString &second) {
    if (first.isEmpty() || second.isEmpty())
        return first + second;
    const bool latin = first.back().unicode() < 0x2e80 && second.front().unicode() < 0x2e80;
    return latin ? first + u' ' + second : first + second;
}

} // namespace vovozodo
