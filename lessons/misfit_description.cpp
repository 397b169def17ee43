#include "lessons/misfit_description.h"

#include "lessons/clock_text.h"
#include "lessons/sentence_aligner.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

QString quoted(const QString &sentence) {
    return u"\""_s + (sentence.size() > 24 ? sentence.left(24) + u"\u2026"_s : sentence) + u'"';
}

} // namespace

QString describeMisfit(const FitProblem &problem, const QStringList &sentences,
                       const std::vector<int> &lines, const QString &transcriptName) {
    const auto lineOf = [&](qsizetype sentence) {
        if (sentence < qsizetype(lines.size()))
            return lines[std::size_t(sentence)];
        return lines.empty() ? 1 : lines.back() + 1;
    };
    const QString where = transcriptName + u": line "_s + QString::number(lineOf(problem.sentence));
    const QString text = problem.sentence < sentences.size()
                             ? u' ' + quoted(sentences[problem.sentence])
                             : QString();
    const QString near = u", near "_s + clockText(qint64(problem.seconds * 1000)) + u": "_s;
    switch (problem.kind) {
    case Misfit::RecordingHasMore:
        return where + near + u"the recording has a sentence here that the transcript lacks"_s;
    case Misfit::TranscriptHasMore:
        return where + text + near + u"the recording does not say this sentence here"_s;
    case Misfit::OutOfPlace:
        return where + text + near +
               u"the sentence is out of place: the recording says it near "_s +
               clockText(qint64(problem.elsewhereSeconds * 1000));
    case Misfit::LengthOff:
    case Misfit::PausesOff:
        return where + text + near + u"the transcript does not match the recording: "_s +
               problem.detail;
    case Misfit::Unmatched:
        break;
    }
    return transcriptName + u" does not match the recording"_s +
           (problem.sentence > 0 ? u" from line "_s + QString::number(lineOf(problem.sentence))
                                 : QString()) +
           u": "_s + problem.detail;
}

} // namespace vovozodo
