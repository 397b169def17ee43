#pragma once

#include <QStringList>

#include <optional>

class QString;

namespace vovozodo {

namespace platform {

class WindowsPathResolver;

// Transcripts larger than this count as files that cannot be opened.
inline constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

// Reads a text file named by a Windows-style path, decoded by decodeSystemText
// (system_text.h): a byte-order mark, else UTF-8 when valid, else GB18030. Lines end at CR LF, LF
// or a lone CR; the last line may lack its end, and a final line end does not start another line,
// so an empty file has no lines. A broken character becomes U+FFFD; NUL bytes are kept as U+0000.
//
// Nothing when the file cannot be opened: missing, not a regular file, not
// readable or larger than kMaxTextFileBytes. A read that fails part-way keeps
// the lines read so far.
std::optional<QStringList> readTextLines(const QString &windowsPath);
// The same, resolving the path with a resolver the caller keeps for a scan.
std::optional<QStringList> readTextLines(const QString &windowsPath, WindowsPathResolver &resolver);

// The decoding and line splitting alone, for bytes already in memory.
QStringList decodeTextLines(const QByteArray &bytes);

} // namespace platform

} // namespace vovozodo
