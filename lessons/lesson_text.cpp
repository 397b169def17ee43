#include "lessons/lesson_text.h"

#include "lessons/input_error.h"
#include "library/transcript_encoding.h"
#include "platform/system_text.h"
#include "platform/text_file.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

namespace vovozodo {

using namespace Qt::StringLiterals;

TextEncoding textEncodingNamed(const QString &name, const QString &option) {
    const QString folded = name.toLower();
    if (folded == u"utf-8"_s || folded == u"utf8"_s)
        return TextEncoding::Utf8;
    if (folded == u"gb18030"_s || folded == u"gbk"_s || folded == u"gb2312"_s)
        return TextEncoding::Gb18030;
    throw InputError(option + u": unknown encoding \""_s + name + u"\" (utf-8 or gb18030)"_s);
}

namespace {

[[noreturn]] void refuseText(const QString &fileName, const QByteArray &bytes, qsizetype offset,
                             const QString &reason) {
    const TextPlace place = textPlaceOf(bytes, offset);
    throw InputError(fileName + u": line "_s + QString::number(place.line) + u", byte "_s +
                     QString::number(place.byte) + u" (0x"_s +
                     QString::number(quint8(bytes.at(offset)), 16).toUpper() + u"): "_s + reason +
                     u"; give --text-encoding if you know the file's encoding"_s);
}

QString detectedText(const QByteArray &bytes, const QString &fileName) {
    if (const auto marked = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked, QStringConverter::Flag::Stateless);
        QString text = decoder.decode(bytes);
        if (decoder.hasError())
            throw InputError(fileName + u": broken characters behind the byte-order mark"_s);
        if (text.startsWith(u'\uFEFF'))
            text.remove(0, 1);
        return text;
    }
    const std::optional<qsizetype> badUtf8 = firstInvalidUtf8(bytes);
    if (!badUtf8)
        return QString::fromUtf8(bytes);
    if (isDamagedUtf8(bytes))
        refuseText(fileName, bytes, *badUtf8, u"not UTF-8, though the rest of the file is"_s);
    if (const std::optional<qsizetype> badGb = firstInvalidGb18030(bytes))
        refuseText(fileName, bytes, *badGb, u"neither UTF-8 nor GB18030"_s);
    return platform::decodeSystemText(bytes);
}

} // namespace

QString decodeLessonText(const QByteArray &bytes, TextEncoding encoding, const QString &fileName) {
    switch (encoding) {
    case TextEncoding::Detect:
        return detectedText(bytes, fileName);
    case TextEncoding::Utf8: {
        QString text = QString::fromUtf8(bytes);
        if (text.startsWith(u'\uFEFF'))
            text.remove(0, 1);
        return text;
    }
    case TextEncoding::Gb18030: {
        QStringDecoder decoder("GB18030", QStringConverter::Flag::Stateless);
        if (!decoder.isValid())
            throw InputError(u"this Qt cannot decode GB18030 (built without ICU)"_s);
        return decoder.decode(bytes);
    }
    }
    return {};
}

QByteArray readLessonTextFile(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw InputError(path + u": no such file"_s);
    if (!info.isFile())
        throw InputError(path + u": not a regular file"_s);
    if (info.size() > platform::kMaxTextFileBytes)
        throw InputError(path + u": larger than 16 MiB, too large for a text file"_s);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw InputError(path + u": "_s + file.errorString());
    QByteArray bytes = file.read(platform::kMaxTextFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw InputError(path + u": "_s + file.errorString());
    return bytes;
}

QStringList splitTextLines(const QString &text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start));
    return lines;
}

QByteArray encodeLessonText(const QString &text, TextEncoding encoding) {
    if (encoding != TextEncoding::Utf8 && !QStringEncoder("GB18030").isValid())
        throw InputError(
            u"this Qt cannot encode GB18030 (built without ICU); use --encoding utf-8"_s);
    return transcriptBytesFor(text, encoding != TextEncoding::Utf8).bytes;
}

bool scriptNeedsMark(const QString &title, const QStringList &sentences) {
    // The lines' separators are plain ASCII, which reads the same either way, so
    // the lines alone decide.
    return transcriptBytesFor(title + u"\r\n"_s + sentences.join(u"\r\n"_s), true).marked;
}

} // namespace vovozodo
