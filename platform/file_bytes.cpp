#include "platform/file_bytes.h"

#include "handles/unique_fd.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vovozodo {

namespace platform::detail {

std::optional<QByteArray> readRegularFile(const QString &nativePath, qint64 maxBytes) {
    const QByteArray name = QFile::encodeName(nativePath);
    // Checked before opening, because opening some devices already has effects, and
    // again on the descriptor, because the entry may be swapped in between. O_NONBLOCK
    // keeps a FIFO put there meanwhile from blocking the open.
    struct stat status {};
    if (::stat(name.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    const UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > maxBytes)
        return std::nullopt;

    // One byte beyond the limit tells a file that grew past it while being read.
    const qint64 limit = maxBytes + 1;
    QByteArray bytes;
    bytes.resize(std::min<qint64>(std::max<qint64>(status.st_size, 4096), limit));
    qint64 total = 0;
    for (;;) {
        if (total == bytes.size()) {
            if (total >= limit)
                return std::nullopt;
            bytes.resize(std::min<qint64>(total * 2, limit));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + total, size_t(bytes.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // end of file, or a failure that keeps what came before it
        total += got;
    }
    bytes.truncate(total);
    return bytes;
}

} // namespace platform::detail

} // namespace vovozodo
