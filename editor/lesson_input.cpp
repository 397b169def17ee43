#include "editor/lesson_input.h"

#include "editor/lesson_draft.h"
#include "editor/realign.h"
#include "editor/speech_guide.h"
#include "lessons/cue_repair.h"
#include "lessons/cue_timing.h"
#include "lessons/input_error.h"
#include "lessons/misfit_description.h"
#include "lessons/sentence_aligner.h"
#include "lessons/subtitle_reader.h"
#include "lessons/subtitle_spans.h"
#include "lessons/transcript_reader.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// `make` is told which kind a file is; the editor takes any, so it tells them
// apart by name and, for a .txt, by its first line (an Audacity label track).
bool looksLikeSubtitles(const QString &path, const QString &text) {
    static const QStringList kSubtitleSuffixes = {u"srt"_s, u"vtt"_s, u"lrc"_s, u"ass"_s, u"ssa"_s};
    if (kSubtitleSuffixes.contains(QFileInfo(path).suffix().toLower()))
        return true;
    static const QRegularExpression timedLine(
        u"^\\s*(?:WEBVTT|\\[Script Info\\]|\\[\\d+:\\d{1,2}(?:[.:]\\d+)?\\]|-?\\d+(?:\\.\\d+)?\\t-?"
        u"\\d+(?:\\.\\d+)?(?:\\t|$))"_s);
    for (const QString &line : splitTextLines(text))
        if (!line.trimmed().isEmpty())
            return timedLine.match(line).hasMatch() || text.contains(u"-->"_s);
    return false;
}

} // namespace

LessonInput readLessonInput(const QString &path, TextEncoding encoding) {
    const QString text = decodeLessonText(readLessonTextFile(path), encoding);
    LessonInput input;
    if (looksLikeSubtitles(path, text)) {
        Subtitles subtitles = readSubtitles(text, path);
        input.notes = subtitles.notes;
        input.cues = repairCues(subtitles.cues, 0, path, input.notes);
        for (const Cue &cue : std::as_const(input.cues)) {
            input.sentences.append(cue.text);
            input.lines.push_back(cue.line);
        }
    } else {
        Transcript transcript = readTranscript(text, path);
        input.sentences = std::move(transcript.sentences);
        input.lines = std::move(transcript.lines);
        input.paragraphStarts = std::move(transcript.paragraphStarts);
    }
    return input;
}

LessonDraft proposeDraft(const SpeechGuide &guide, const LessonInput &input,
                         const QString &recordingName, const QString &textName,
                         QString &disagreement, QStringList &notes) {
    LessonDraft draft;
    draft.sentences = input.sentences;
    std::vector<FitProblem> problems;
    try {
        if (!input.cues.isEmpty()) {
            CueTiming timing;
            draft.spans = spansOfSubtitles(guide.profile(), guide.speech(), input.cues, true,
                                           textName, recordingName, notes, &timing);
            if (timing.moves())
                notes.append(textName + u": "_s + describeCueTiming(timing));
        } else {
            const Alignment alignment =
                alignSentences(guide.profile(), guide.speech(), input.sentences);
            draft.spans = alignment.spans;
            problems = alignment.problems;
            if (!alignment.fits())
                disagreement =
                    recordingName + u": "_s +
                    describeMisfit(problems.front(), input.sentences, input.lines, textName);
        }
    } catch (const InputError &error) {
        disagreement = error.message();
        draft.spans.clear();
    }
    // A sentence the recording lacks has no sound of its own; the learner
    // needs room to place it, so such a match is spread out instead.
    const bool usable =
        qsizetype(draft.spans.size()) == draft.sentences.size() &&
        std::all_of(draft.spans.begin(), draft.spans.end(),
                    [](const SentenceSpan &span) { return span.limitAfter > span.limitBefore; });
    if (!usable)
        draft = evenDraft(guide, input.sentences, 0, guide.totalSamples());
    draft.handPlaced.assign(std::size_t(draft.cutCount()), false);
    const QString shortName = QFileInfo(textName).fileName();
    for (const FitProblem &problem : problems)
        markMisfit(draft, problem, 0, draft.sentences.size() - 1, guide.sampleRate(),
                   describeMisfit(problem, input.sentences, input.lines, shortName));
    return draft;
}

LessonDraft evenDraft(const SpeechGuide &guide, const QStringList &sentences, qint64 from,
                      qint64 to) {
    LessonDraft draft;
    draft.sentences = sentences;
    const qsizetype count = sentences.size();
    draft.handPlaced.assign(std::size_t(std::max<qsizetype>(count - 1, 0)), false);
    if (count == 0)
        return draft;
    std::vector<double> units{0};
    for (const QString &sentence : sentences)
        units.push_back(units.back() + std::max(1.0, spokenLength(sentence)));
    const auto [speechFrom, speechTo] = guide.speechWithin(from, to);
    const qint64 length = std::max<qint64>(speechTo - speechFrom, count);
    const qint64 window = guide.samplesOfMs(2000);
    std::vector<qint64> limits{from};
    for (qsizetype i = 1; i < count; ++i) {
        const auto target =
            speechFrom + qint64(double(length) * units[std::size_t(i)] / units.back());
        qint64 at = guide.snap(target, window).value_or(target);
        // Each sentence keeps at least a sample, whatever the pauses say.
        const qint64 remaining = count - i;
        at = std::clamp(at, limits.back() + 1, std::max(limits.back() + 1, to - remaining));
        limits.push_back(at);
    }
    limits.push_back(std::max(to, limits.back() + 1));
    for (qsizetype i = 0; i < count; ++i) {
        SentenceSpan span;
        span.limitBefore = limits[std::size_t(i)];
        span.limitAfter = limits[std::size_t(i) + 1];
        std::tie(span.speechStart, span.speechEnd) =
            guide.speechWithin(span.limitBefore, span.limitAfter);
        draft.spans.push_back(span);
    }
    return draft;
}

} // namespace vovozodo
