#pragma once

#include "library/install_setting.h"

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

// Points the user's settings file at `library` as an editor would: only the
// bytes of the value the player reads change (or the key is added where the
// player reads it); every other byte, the line ends, the mode and a link to the
// file stay. Throws InputError when the player could not read the path
// (relative, too long for its 180-byte buffer, blanks or quotes at its ends,
// a backslash or a line end in it, not a readable folder), when the settings
// file is nothing the player reads (not a regular file, larger than 16 MiB,
// UTF-16), or when it cannot be written. Returns the file written.
QString usePlayerLibrary(const QString &library);

// The longest library value the player reads whole, in bytes.
inline constexpr int kMaxLibraryValueBytes = kMaxInstallPathBytes;

} // namespace vovozodo
