#pragma once

#include "lessons/clip_plan.h"

#include <vector>

class QString;

namespace vovozodo {

struct LevelProfile;

// Draws the recording's level with the clips shaded and numbered and a line
// at every cut, and saves it in the format its name ends in (PNG, JPEG, ...),
// atomically. Throws InputError when it cannot be saved.
void drawWaveformPreview(const QString &path, const LevelProfile &profile,
                         const std::vector<Clip> &clips);

} // namespace vovozodo
