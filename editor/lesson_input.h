#pragma once

#include "lessons/cue.h"
#include "lessons/lesson_text.h"

#include <QList>
#include <QStringList>

#include <vector>

namespace vovozodo {

struct LevelProfile;
class SpeechGuide;
struct LessonDraft;

// The sentences of a transcript or subtitle file, read as `make` reads them.
struct LessonInput {
    QStringList sentences;
    // The file's line of each sentence, to name it.
    std::vector<int> lines;
    // Of a plain transcript: which sentences begin a paragraph in the player.
    std::vector<bool> paragraphStarts;
    // Empty for a plain transcript.
    QList<Cue> cues;
    QStringList notes;
};

// Subtitles (SRT, WebVTT, LRC, ASS, Audacity labels) are told from a plain
// transcript by their text; the encoding is guessed as `make` guesses it.
// Throws InputError as `make` would.
LessonInput readLessonInput(const QString &path, TextEncoding encoding = TextEncoding::Detect);

// The cuts `make` would write, through the functions `make` calls: the
// aligner for a transcript; for subtitles the offset and drift found in the
// recording, then the snapping (a note says what was applied). Where the text
// and the recording disagree, `make` refuses; the editor still opens, with
// `disagreement` saying where and the sentences concerned marked. When the
// aligner's match gives a sentence no sound (or nothing matched), the cuts are
// spread over the speech by the sentences' lengths for the learner to correct.
LessonDraft proposeDraft(const SpeechGuide &guide, const LessonInput &input,
                         const QString &recordingName, const QString &textName,
                         QString &disagreement, QStringList &notes);

// Cuts at the pauses nearest to where each sentence would end if the speech
// ran at one rate; what the editor offers where the aligner found no fit.
LessonDraft evenDraft(const SpeechGuide &guide, const QStringList &sentences, qint64 from,
                      qint64 to);

} // namespace vovozodo
