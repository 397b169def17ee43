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

// The cuts `make` would write, through the single place the editor calls the
// aligner (so a change of its interface touches this one function). Where the
// text and the recording disagree, `make` refuses; the editor still opens,
// with `disagreement` saying where, and cuts spread over the speech by the
// sentences' lengths for the learner to correct; `partsAt` gets the sample
// where text and speech part.
LessonDraft proposeDraft(const SpeechGuide &guide, const LessonInput &input,
                         const QString &recordingName, const QString &textName,
                         QString &disagreement, QStringList &notes, qint64 *partsAt = nullptr);

// Cuts at the pauses nearest to where each sentence would end if the speech
// ran at one rate; what the editor offers where the aligner found no fit.
LessonDraft evenDraft(const SpeechGuide &guide, const QStringList &sentences, qint64 from,
                      qint64 to);

} // namespace vovozodo
