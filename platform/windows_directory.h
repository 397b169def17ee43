#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace vovozodo {

namespace platform {

// The contract of the system call the start-up window relies on: when the
// directory and its terminating NUL fit in `size` bytes they are written to the
// front of `buffer` (the rest stays untouched) and the length without the NUL
// is returned; otherwise nothing is written and the size needed, NUL included,
// is returned; 0 means failure.
using WindowsDirectoryQuery = std::function<std::uint32_t(char *buffer, std::uint32_t size)>;

// Implements the contract above for a given directory (empty = failure).
std::uint32_t copyWindowsDirectory(std::string_view directory, char *buffer, std::uint32_t size);

// The folder this build treats as the Windows directory.
std::string_view systemWindowsDirectory();

// The system's query, reporting systemWindowsDirectory().
std::uint32_t GetWindowsDirectoryA(char *buffer, std::uint32_t size);

} // namespace platform

} // namespace vovozodo
