#pragma once

#include "lessons/clip_plan.h"

#include <QStringList>

#include <vector>

namespace vovozodo {

// The clips as an Audacity label track ("start<TAB>end<TAB>text" in seconds),
// which reads back as subtitles, so cuts corrected in Audacity can remake the
// lesson. Throws InputError when `path` cannot be written.
void writeLabelTrack(const QString &path, const std::vector<Clip> &clips,
                     const QStringList &sentences, int sampleRate);

} // namespace vovozodo
