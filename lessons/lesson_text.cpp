#include "lessons/lesson_text.h"

#include "lessons/input_error.h"
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

QString decodeLessonText(const QByteArray &bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Detect:
        return platform::decodeSystemText(bytes);
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
    if (encoding == TextEncoding::Utf8)
        return text.toUtf8();
    QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        throw InputError(
            u"this Qt cannot encode GB18030 (built without ICU); use --encoding utf-8"_s);
    return encoder.encode(text);
}

} // namespace vovozodo
