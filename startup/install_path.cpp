#include "startup/install_path.h"

#include <QStringDecoder>

#include <cstring>

QString GetWindowsDir(const platform::WindowsDirectoryQuery &query) {
    constexpr std::uint32_t kBufferSize = 20;
    char buffer[kBufferSize];
    std::memset(buffer, ' ', kBufferSize);
    const auto count = std::int32_t(query(buffer, kBufferSize));
    if (count <= 0)
        return {};
    // Only U+0020 counts as a blank here, so the NUL after the directory stays.
    const QString text = fromSystemBytes(QByteArrayView(buffer, kBufferSize)).toUpper();
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

QString captionOf(const QString &text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString fromSystemBytes(QByteArrayView raw) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (!utf8.hasError())
        return text;
    QStringDecoder gb18030("GB18030");
    if (gb18030.isValid())
        return gb18030.decode(raw);
    return QString::fromLatin1(raw);
}
