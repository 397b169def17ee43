#include "platform/text_file.h"

#include "platform/file_bytes.h"
#include "platform/windows_path.h"

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace platform {

namespace {

// Line ends are found on the bytes, before decoding: neither UTF-8 nor GB18030 uses CR
// or LF inside a character, and a broken character at a line's end then cannot swallow
// the line end that follows it.
QList<QByteArrayView> splitLines(QByteArrayView bytes) {
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(bytes.sliced(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append(bytes.sliced(start));
    return lines;
}

bool isValidUtf8(QByteArrayView bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    Q_UNUSED(decoded);
    return !utf8.hasError();
}

} // namespace

QStringList decodeTextLines(const QByteArray &bytes) {
    QStringList lines;
    if (isValidUtf8(bytes)) {
        QByteArrayView text(bytes);
        if (text.startsWith("\xEF\xBB\xBF"))
            text = text.sliced(3);
        const QList<QByteArrayView> raw = splitLines(text);
        lines.reserve(raw.size());
        for (const QByteArrayView line : raw)
            lines.append(QString::fromUtf8(line));
        return lines;
    }

    // Named rather than looked up: Qt's built-in table does not list GB18030, yet the
    // decoder made by name is served by ICU.
    QStringDecoder gb18030("GB18030", QStringConverter::Flag::Stateless);
    const QList<QByteArrayView> raw = splitLines(bytes);
    lines.reserve(raw.size());
    for (const QByteArrayView line : raw) {
        if (gb18030.isValid()) {
            // ICU drops an unfinished character at the very end of its input without a
            // trace; behind a line feed it becomes a replacement character like any other
            // broken one, and the line feed is taken off again.
            QByteArray terminated;
            terminated.reserve(line.size() + 1);
            terminated.append(line).append('\n');
            gb18030.resetState();
            QString decoded = gb18030.decode(terminated);
            if (decoded.endsWith(u'\n'))
                decoded.chop(1);
            lines.append(std::move(decoded));
        } else {
            // A Qt built without ICU: keep the valid UTF-8 parts readable and mark the rest
            // with replacement characters, rather than guessing another code page.
            lines.append(QString::fromUtf8(line));
        }
    }
    return lines;
}

std::optional<QStringList> readTextLines(const QString &windowsPath) {
    const std::optional<QString> nativePath = WindowsPathResolver().resolve(windowsPath);
    if (!nativePath)
        return std::nullopt;
    const std::optional<QByteArray> bytes = detail::readRegularFile(*nativePath, kMaxTextFileBytes);
    if (!bytes)
        return std::nullopt;
    return decodeTextLines(*bytes);
}

} // namespace platform
