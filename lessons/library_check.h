#pragma once

#include <QStringList>

#include <array>

class QByteArray;

namespace vovozodo {

// One line of the lesson chooser as the player would list it, and what is
// wrong with that lesson.
struct CheckedEntry {
    QString text;
    bool valid = false;
    QStringList problems;
};

struct LibraryReport {
    // The library folder as given or as the settings file names it.
    QString library;
    // Problems with the library as a whole (no settings file, no folder).
    QStringList problems;
    // Position 0 is the prompt, position n lesson n.
    std::array<CheckedEntry, 16> entries;

    bool ok() const;
};

// Scans the library at `installRoot` (Windows-style, ending with a
// backslash, as the player builds it) the way the player does, then finds out
// why each error entry is one and what else would fail when playing: a sound
// file no decoder opens, a transcript that is neither UTF-8 nor GB18030,
// names that differ only in case.
LibraryReport checkLibrary(const QString &library, const QString &installRoot);

QString reportText(const LibraryReport &report);
QByteArray reportJson(const LibraryReport &report);

} // namespace vovozodo
