#pragma once

#include "lessons/cue.h"

#include <QList>
#include <QStringList>

namespace vovozodo {

// Moves every cue by `shiftMs`, then mends cues that would make empty or stolen clips, saying in
// `notes` what was done: a cue repeated with the same times is merged into one; a cue that runs
// over the cue after next ends where the next starts; a point label (start = end) runs until the
// next cue; a cue starting before the recording (moved there by --shift) starts with it. Throws
// InputError naming `subtitlesName` and the line for a cue that lies wholly before the recording or
// ends before it starts.
QList<Cue> repairCues(QList<Cue> cues, qint64 shiftMs, const QString &subtitlesName,
                      QStringList &notes);

} // namespace vovozodo
