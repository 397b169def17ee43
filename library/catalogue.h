#pragma once

#include "library/lesson_paths.h"

#include <QString>

#include <array>

namespace vovozodo {

namespace platform {
class WindowsPathResolver;
}

// One line of the lesson chooser and whether that lesson can be loaded.
struct CatalogueEntry {
    QString text;
    bool valid = false;
};

// The chooser's first entry, which belongs to no lesson.
QString lessonPromptEntry();

// Checks lesson `lesson` (1-15) under `installRoot`: its transcript must open
// and hold as many sentence lines as there are consecutive sound files 1.wav,
// 2.wav, ... Counts are kept in full (not 16-bit), so a lesson of any size is
// judged the same way here and when it is loaded.
CatalogueEntry scanLesson(const QString &installRoot, int lesson,
                          platform::WindowsPathResolver &resolver);

// Position 0 is the prompt; position n belongs to lesson n.
using Catalogue = std::array<CatalogueEntry, kChooserEntries>;
Catalogue scanCatalogue(const QString &installRoot);

} // namespace vovozodo
