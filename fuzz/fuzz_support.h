#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// A private scratch folder for this process, made on first use and removed
// with everything in it when the process exits normally. The path is native
// and has no trailing separator.
const std::string &scratchFolder();

// Replaces `path` with exactly these bytes (creating it when missing).
bool writeFile(const std::string &path, const std::uint8_t *data, std::size_t size);

// The Windows-style spelling of a native path, the form the program is given.
QString windowsStyle(const std::string &nativePath);

// Reports a broken expectation and aborts, which the fuzzer takes as a crash.
[[noreturn]] void fail(const char *file, int line, const char *expression);

} // namespace fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::fail(__FILE__, __LINE__, #condition);                                          \
    } while (false)
