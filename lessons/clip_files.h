#pragma once

#include "lessons/clip_plan.h"

#include <QString>

#include <vector>

namespace vovozodo {

class Progress;
class Recording;

// Decodes `recording` again and writes clip k as `folder`/(k+1).wav: 16-bit
// PCM at the recording's rate when the player plays it, else at
// clipSampleRate(), mono or stereo, `gain` applied, with 5 ms fades. Errors
// name the file as `shownFolder`/(k+1).wav, where it will be once the lesson
// is in place.
void writeClipFiles(const QString &folder, const QString &shownFolder, Recording &recording,
                    const std::vector<Clip> &clips, double gain, Progress &progress);

} // namespace vovozodo
