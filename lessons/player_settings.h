#pragma once

#include <QString>

namespace vovozodo {

// The settings the player reads to find its library.
struct PlayerSettings {
    // The file that answers the lookup: the user's own when it holds the key,
    // otherwise the system file.
    QString file;
    bool fileExists = false;
    // The library value as the player reads it ("empty" without file or key).
    QString value;
    // The folder it resolves to, empty when it names none.
    QString library;
    // What the player builds every lesson path on: the value and a backslash.
    QString installRoot;
};

PlayerSettings readPlayerSettings();

// Points the user's settings file at `library`, keeping whatever else the
// file holds. Throws InputError when the player could not read the path
// (relative, too long for its 180-byte buffer, blanks or quotes at its ends,
// a backslash or a line end in it, not a readable folder) or the file cannot
// be written. Returns the file written.
QString usePlayerLibrary(const QString &library);

// The longest library value the player reads whole, in bytes.
inline constexpr int kMaxLibraryValueBytes = 179;

} // namespace vovozodo
