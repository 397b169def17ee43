#pragma once

#include <QString>

#include <cstdint>

class QByteArray;
class QByteArrayView;

namespace vovozodo {

// The one setting the player reads: InstallPath in [InstallSettings] of its
// settings file, the lesson library folder. The start-up window looks it up,
// and `vovozodo-lessons` reads it the same way and edits it with the same
// parser, so what one writes the other reads.

// The value buffer of the lookup: a value of more bytes is cut to this less one.
inline constexpr int kInstallPathBufferBytes = 180;
inline constexpr int kMaxInstallPathBytes = kInstallPathBufferBytes - 1;

struct InstallPathLookup {
    // Bytes copied, as the profile call returns it: 5 for the default "empty"
    // when the file, section or key is missing; 0 for an empty value.
    std::uint32_t count = 0;
    // The copied value as text.
    QString value;
};

// Looks the value up in `settingsFile` (a Windows-style path; the user's own
// copy may answer, see platform/profile_mapping.h) with the default "empty".
InstallPathLookup lookUpInstallPath(const QString &settingsFile);

// `profile` with the value that lookUpInstallPath() reads replaced by `value`,
// every other byte kept: when the key is missing it is added at the top of the
// first [InstallSettings] section, or a section holding it is added at the
// end. New lines end like the file's first line.
QByteArray withInstallPath(QByteArrayView profile, QByteArrayView value);

} // namespace vovozodo
