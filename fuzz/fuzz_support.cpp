#include "fuzz_support.h"

#include "handles/unique_fd.h"

#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fuzz {

namespace {

// Hostile input is the point here: the program's warnings about it would only
// slow the fuzzer down. QT_LOGGING_RULES still turns them back on.
[[maybe_unused]] const bool programQuiet = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("vovozodo.*.warning=false"));
    return true;
}();

std::string makeScratchFolder() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    pattern += "/vovozodo-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    return std::string(buffer.data());
}

void removeScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(scratchFolder(), ignored);
}

} // namespace

const std::string &scratchFolder() {
    static const std::string folder = makeScratchFolder();
    // Registered once the folder's name is complete, so the removal runs before
    // the name is destroyed.
    [[maybe_unused]] static const bool removedAtExit = std::atexit(removeScratchFolder) == 0;
    return folder;
}

bool writeFile(const std::string &path, const std::uint8_t *data, std::size_t size) {
    vovozodo::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.isValid())
        return false;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t got = ::write(fd.get(), data + written, size - written);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        written += std::size_t(got);
    }
    return fd.closeChecked() && written == size;
}

QString windowsStyle(const std::string &nativePath) {
    QString path = QFile::decodeName(QByteArray::fromStdString(nativePath));
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return path;
}

void fail(const char *file, int line, const char *expression) {
    std::fprintf(stderr, "%s:%d: expectation failed: %s\n", file, line, expression);
    std::abort();
}

} // namespace fuzz
