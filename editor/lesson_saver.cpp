#include "editor/lesson_saver.h"

#include "editor/lesson_draft.h"
#include "lessons/input_error.h"
#include "lessons/lesson_writer.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "lessons/tempo.h"

#include <QFileInfo>

namespace vovozodo {

using namespace Qt::StringLiterals;

RecordingStamp recordingStamp(const QString &recording) {
    const QFileInfo info(recording);
    return {info.size(), info.lastModified()};
}

QString saveDraft(const SaveRequest &request, const LessonDraft &draft,
                  const std::function<void(double)> &progress) {
    for (qsizetype i = 0; i < draft.sentences.size(); ++i)
        if (draft.sentences[i].isEmpty())
            throw InputError(
                u"Sentence %1 has no text; write it or merge it with a neighbour"_s.arg(i + 1));
    LessonWriter writer(request.library, request.lesson, request.replace);
    const QFileInfo info(request.recording);
    if (!info.exists())
        throw InputError(request.recording + u": the recording is gone; nothing was saved"_s);
    if (request.opened.size >= 0 && recordingStamp(request.recording) != request.opened)
        throw InputError(request.recording +
                         u": the recording changed since it was opened; open it again"_s);
    std::unique_ptr<Recording> recording = openRecording(request.recording);
    std::vector<Clip> clips = padSpans(draft.spans, recording->sampleRate());
    recording = atTempo(std::move(recording), request.tempo, clips);
    const QString title =
        request.title.isEmpty() ? info.completeBaseName() : request.title.simplified();
    const bool sameSentences = qsizetype(request.paragraphStarts.size()) == draft.sentences.size();
    writer.writeScript(title, draft.sentences,
                       sameSentences ? request.paragraphStarts : std::vector<bool>(),
                       request.scriptEncoding);
    // The writer reports progress to a terminal; the window gets it through the
    // recording it reads.
    Progress silent(false);
    writer.writeClips(*recording, clips, 1.0, silent);
    if (progress)
        progress(1.0);
    writer.commit();
    return writer.lessonPath();
}

} // namespace vovozodo
