#pragma once

#include "library/lesson_paths.h"

#include <QList>
#include <QStringList>

#include <array>

class QByteArray;

namespace vovozodo {

// One lesson as the player would list and play it, and what is wrong with it.
struct CheckedEntry {
    // The lesson chooser's line for it, word for word.
    QString text;
    // The chooser lets it be loaded.
    bool valid = false;
    // Loaded, every one of its sound files plays (the player's own rule).
    bool plays = false;
    // Nothing of any case spelling of t_N is there: a slot without a lesson,
    // which is no fault.
    bool empty = false;
    // What makes the lesson fail or play wrong.
    QStringList problems;
    // What the player copes with but a person may want to know.
    QStringList notes;
};

// A work folder of a `make` killed part-way, which the player never reads.
struct LeftoverFolder {
    QString name;
    qint64 bytes = 0;
};

struct LibraryReport {
    // The library folder as given or as the settings file names it.
    QString library;
    // Problems with the library as a whole (no settings file, no folder).
    QStringList problems;
    // Disk space a user may want back; the lessons play regardless, so they
    // do not make the library fail (the next `make` into it removes them).
    QList<LeftoverFolder> leftovers;
    // Position 0 is the chooser's prompt, position n lesson n.
    std::array<CheckedEntry, kChooserEntries> entries;

    // No problem anywhere; empty slots do not count.
    bool ok() const;
};

// Scans the library at `installRoot` (Windows-style, ending with a backslash,
// as the player builds it; empty for the current folder) with the player's own
// catalogue, then gives the player's verdict on each lesson computed by the same
// code: which sound files it would play (library/playable_sound.h), whether its
// transcript would show garbled (library/transcript_encoding.h), and why an
// error entry is one.
LibraryReport checkLibrary(const QString &library, const QString &installRoot);

QString reportText(const LibraryReport &report);
QByteArray reportJson(const LibraryReport &report);

} // namespace vovozodo
