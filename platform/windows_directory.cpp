#include "platform/windows_directory.h"

#include <cstring>
#include <limits>

namespace vovozodo {

#ifndef VOVOZODO_WINDOWS_DIR
#define VOVOZODO_WINDOWS_DIR "/etc"
#endif

namespace platform {

std::uint32_t copyWindowsDirectory(std::string_view directory, char *buffer, std::uint32_t size) {
    // A NUL inside the name would make callers that cut at the first NUL see a different,
    // shorter folder; report failure rather than a half name.
    if (directory.empty() || directory.find('\0') != std::string_view::npos ||
        directory.size() >= std::numeric_limits<std::uint32_t>::max())
        return 0;
    const auto needed = static_cast<std::uint32_t>(directory.size() + 1);
    if (buffer == nullptr || size < needed)
        return needed;
    std::memcpy(buffer, directory.data(), directory.size());
    buffer[directory.size()] = '\0';
    return needed - 1;
}

std::string_view systemWindowsDirectory() {
    return VOVOZODO_WINDOWS_DIR;
}

std::uint32_t GetWindowsDirectoryA(char *buffer, std::uint32_t size) {
    return copyWindowsDirectory(systemWindowsDirectory(), buffer, size);
}

} // namespace platform

} // namespace vovozodo
