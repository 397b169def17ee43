#pragma once

#include "lessons/lesson_text.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace vovozodo {

struct LessonDraft;

// A recording's size and time of change, to tell later whether it changed.
struct RecordingStamp {
    qint64 size = -1;
    QDateTime modified;

    bool operator==(const RecordingStamp &) const = default;
};
RecordingStamp recordingStamp(const QString &recording);

struct SaveRequest {
    QString library;
    int lesson = 1;
    QString title;
    bool replace = false;
    TextEncoding scriptEncoding = TextEncoding::Gb18030;
    // As the transcript had them; used while the sentences are still the
    // transcript's (after a split or merge the writer's own rule applies).
    std::vector<bool> paragraphStarts;
    // Below 1: a slowed copy, pitch kept (0.9 or 0.75 for slower practice).
    double tempo = 1.0;
    QString recording;
    // The recording as it was when opened and decoded: a file changed since
    // then would be cut where its old sound was. Unchecked when its size is -1.
    RecordingStamp opened;
};

// Writes the draft as lesson `request.lesson` through the same writer as
// `make`, so it is never half-written and an existing lesson is only replaced
// when asked. Throws InputError (nothing then changes) with the reason; the
// folder written on success is returned. `progress` gets 0 to 1.
QString saveDraft(const SaveRequest &request, const LessonDraft &draft,
                  const std::function<void(double)> &progress = {});

} // namespace vovozodo
