#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace vovozodo {

namespace platform {

// Reads one value from an INI profile the way the Windows profile call does:
// section and key names match without regard to case, blanks around names and
// values are ignored, a value wrapped in one pair of matching quotes is
// unwrapped, comment lines (';') are skipped. When the file, the section or the
// key is missing, `defaultValue` is copied instead. The copy is cut to
// size - 1 bytes and NUL-terminated; the number of bytes copied (without the
// NUL) is returned. `fileName` is a Windows-style path (see windows_path.h).
//
// Values are bytes: backslashes, commas and ';' inside a value are kept. Lines
// end at CR LF, LF or CR. Only the first section of a given name is searched,
// and its first matching key wins. A line without '=' and a '[' line without
// ']' are ignored; a NUL byte ends its line's content. Only a regular file of
// at most 16 MiB is read; anything else counts as missing. A null section or
// key gets the default (no listing of names). A null buffer or size 0 writes
// nothing and returns 0.
//
// The program's settings file may be answered by the user's own copy instead
// (profile_mapping.h).
std::uint32_t GetPrivateProfileStringA(const char *section, const char *key,
                                       const char *defaultValue, char *buffer, std::uint32_t size,
                                       const char *fileName);

// Settings files are a few lines long; anything bigger is not one of them and is
// treated like a missing file rather than half-read.
inline constexpr qint64 kMaxProfileBytes = 16 * 1024 * 1024;

namespace detail {
// Where the lookup above finds `key` in `section` of `profile`, so that an
// editor changes exactly what the lookup reads.
struct ProfilePlace {
    // The value's bytes as the line holds them (blanks around it excluded,
    // quotes included); -1 when the key is missing from the first section.
    qsizetype valueBegin = -1;
    qsizetype valueEnd = -1;
    // Just past the first section's header line and its line end; -1 when
    // there is no such section. A key line put there is found.
    qsizetype afterSection = -1;
    bool sectionLineEnded = false;
    // The first line end of the file (CR LF, LF or CR), empty when none.
    QByteArrayView lineEnd;
};
ProfilePlace locateProfileValue(QByteArrayView profile, QByteArrayView section, QByteArrayView key);

// The raw value of `key` in `section` of the profile at `nativePath` (a native
// path, taken as it is); nothing when the file, section or key is missing.
std::optional<QByteArray> profileValueInNativeFile(const char *section, const char *key,
                                                   const QString &nativePath);

// A lookup as the profile call makes it: the user's copy of a mapped file
// answers when it holds the key (profile_mapping.h), otherwise `fileName`
// (a Windows-style path) does. `file` names the one that answered.
struct ProfileLookup {
    QString file;
    std::optional<QByteArray> value;
};
ProfileLookup lookUpProfile(const char *section, const char *key, const QString &fileName);
} // namespace detail

} // namespace platform

} // namespace vovozodo
