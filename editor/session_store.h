#pragma once

#include "editor/lesson_draft.h"

#include <QString>

#include <optional>

namespace vovozodo {

// The editing session kept as the learner works, so that nothing is lost on a
// crash or close: the inputs and the draft, in the user's state folder
// ($XDG_STATE_HOME/vovozodo/editor/), one file per recording.
struct Session {
    QString recording;
    QString text;
    qint64 totalSamples = 0;
    LessonDraft draft;
};

QString sessionFile(const QString &recording);
// Written whole to a temporary file and renamed over the old one, so a crash
// while saving leaves the session before. False when it cannot be written.
bool storeSession(const Session &session);
// The session kept for `recording`, when there is one that fits a recording
// of `totalSamples` samples (a changed recording makes the cuts meaningless).
std::optional<Session> loadSession(const QString &recording, qint64 totalSamples);
void forgetSession(const QString &recording);

} // namespace vovozodo
