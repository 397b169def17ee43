#include "platform/text_file.h"

#include "platform/file_bytes.h"
#include "platform/system_text.h"
#include "platform/windows_path.h"

#include <QString>

namespace vovozodo {

namespace platform {

namespace {

// Lines are split after decoding: no encoding read here uses CR or LF inside a
// character, and the decoders report a broken character without taking the line end
// that follows it.
QStringList splitLines(QStringView text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.sliced(start, i - start).toString());
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start).toString());
    return lines;
}

} // namespace

QStringList decodeTextLines(const QByteArray &bytes) {
    // The whole text is decoded in one pass: a transcript can hold tens of thousands
    // of lines.
    return splitLines(decodeSystemText(bytes));
}

std::optional<QStringList> readTextLines(const QString &windowsPath) {
    WindowsPathResolver resolver;
    return readTextLines(windowsPath, resolver);
}

std::optional<QStringList> readTextLines(const QString &windowsPath,
                                         WindowsPathResolver &resolver) {
    const std::optional<QString> nativePath = resolver.resolve(windowsPath);
    if (!nativePath)
        return std::nullopt;
    const std::optional<QByteArray> bytes = detail::readRegularFile(*nativePath, kMaxTextFileBytes);
    if (!bytes)
        return std::nullopt;
    return decodeTextLines(*bytes);
}

} // namespace platform

} // namespace vovozodo
