#pragma once

#include <cstdint>

namespace platform {

// Reads one value from an INI profile the way the Windows profile call does:
// section and key names match without regard to case, blanks around names and
// values are ignored, a value wrapped in one pair of matching quotes is
// unwrapped, comment lines (';') are skipped. When the file, the section or the
// key is missing, `defaultValue` is copied instead. The copy is cut to
// size - 1 bytes and NUL-terminated; the number of bytes copied (without the
// NUL) is returned. `fileName` is a Windows-style path (see windows_path.h).
std::uint32_t GetPrivateProfileStringA(const char *section, const char *key,
                                       const char *defaultValue, char *buffer, std::uint32_t size,
                                       const char *fileName);

} // namespace platform
