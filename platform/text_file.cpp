#include "platform/text_file.h"

#include "platform/file_bytes.h"
#include "platform/windows_path.h"

#include <QString>
#include <QStringDecoder>
#include <QUtf8StringView>

namespace platform {

namespace {

// Lines are split after decoding: neither UTF-8 nor GB18030 uses CR or LF inside a
// character, and both decoders report a broken character without taking the line end
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
    // of lines. The validity check stops at the first byte that is not UTF-8.
    if (QUtf8StringView(bytes).isValidUtf8()) {
        QString text = QString::fromUtf8(bytes);
        if (text.startsWith(u'\uFEFF'))
            text.remove(0, 1);
        return splitLines(text);
    }

    // Named rather than looked up: Qt's built-in table does not list GB18030, yet the
    // decoder made by name is served by ICU.
    QStringDecoder gb18030("GB18030", QStringConverter::Flag::Stateless);
    if (!gb18030.isValid()) {
        // A Qt built without ICU: keep the valid UTF-8 parts readable and mark the rest
        // with replacement characters, rather than guessing another code page.
        return splitLines(QString::fromUtf8(bytes));
    }
    // ICU drops an unfinished character at the very end of its input without a trace;
    // behind a line feed it becomes a replacement character like any other broken one.
    QByteArray terminated;
    terminated.reserve(bytes.size() + 1);
    terminated.append(bytes).append('\n');
    QString text = gb18030.decode(terminated);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return splitLines(text);
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
