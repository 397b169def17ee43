#pragma once

#include <QString>

namespace vovozodo {

// One subtitle cue: a sentence and where the subtitle file says it is spoken.
struct Cue {
    qint64 startMs = 0;
    // -1 when the file gives no end (an LRC line is shown until the next one).
    qint64 endMs = -1;
    QString text;
    // Where the cue starts in its file, for messages.
    int line = 0;
};

} // namespace vovozodo
