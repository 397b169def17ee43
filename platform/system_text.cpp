#include "platform/system_text.h"

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QUtf8StringView>

namespace vovozodo {

namespace platform {

namespace {

QString decodeGb18030(QByteArrayView bytes) {
    // Named rather than looked up: Qt's built-in table does not list GB18030, yet the
    // decoder made by name is served by ICU.
    QStringDecoder gb18030("GB18030", QStringConverter::Flag::Stateless);
    if (!gb18030.isValid()) {
        // A Qt built without ICU: keep the valid UTF-8 parts readable and mark the rest
        // with replacement characters, rather than guessing another code page.
        return QString::fromUtf8(bytes);
    }
    // ICU drops an unfinished character at the very end of its input without a trace;
    // behind a line feed it becomes a replacement character like any other broken one.
    QByteArray terminated;
    terminated.reserve(bytes.size() + 1);
    terminated.append(bytes).append('\n');
    QString text = gb18030.decode(terminated);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

} // namespace

QString decodeSystemText(QByteArrayView bytes) {
    // A byte-order mark names its encoding, and the decoder drops the mark.
    if (const std::optional<QStringConverter::Encoding> marked =
            QStringConverter::encodingForData(bytes);
        marked && *marked != QStringConverter::Utf8)
        return QStringDecoder(*marked, QStringConverter::Flag::Stateless).decode(bytes);
    // The validity check stops at the first byte that is not UTF-8.
    if (QUtf8StringView(bytes.data(), bytes.size()).isValidUtf8()) {
        QString text = QString::fromUtf8(bytes);
        if (text.startsWith(u'\uFEFF'))
            text.remove(0, 1);
        return text;
    }
    return decodeGb18030(bytes);
}

} // namespace platform

} // namespace vovozodo
