#pragma once

#include <QByteArray>

#include <optional>

class QString;

namespace vovozodo {

namespace platform::detail {

// The whole content of a regular file named by a native path; nothing when it is
// missing, not a regular file, not readable or larger than `maxBytes`. A read failing
// part-way keeps the bytes read until then.
std::optional<QByteArray> readRegularFile(const QString &nativePath, qint64 maxBytes);

} // namespace platform::detail

} // namespace vovozodo
