#pragma once

#include "lessons/cue.h"

#include <QList>
#include <QStringList>

namespace vovozodo {

// The cues of a subtitle file, in time order, with their text joined to one
// line and markup removed.
struct Subtitles {
    QList<Cue> cues;
    // What was mended on the way, one line each: empty cues left out, cues out
    // of order, overlaps.
    QStringList notes;
};

// Reads SRT, WebVTT, LRC, ASS/SSA dialogue lines and Audacity label tracks;
// the format is told from the text itself. `fileName` only names the file in
// messages. Throws InputError with the file name and line number on malformed
// input, and when no cue holds any text.
Subtitles readSubtitles(const QString &text, const QString &fileName);

} // namespace vovozodo
