#include "lessons/subtitle_text.h"

#include <QRegularExpression>

namespace vovozodo {

using namespace Qt::StringLiterals;

qint64 clockTime(QStringView text) {
    static const QRegularExpression pattern(
        u"^\\s*(?:(\\d{1,4}):)?(\\d{1,2}):(\\d{1,2})(?:[.,:](\\d{1,3}))?\\s*$"_s);
    const QRegularExpressionMatch match = pattern.match(text.toString());
    if (!match.hasMatch())
        return -1;
    const qint64 hours = match.capturedView(1).isEmpty() ? 0 : match.capturedView(1).toLongLong();
    const qint64 minutes = match.capturedView(2).toLongLong();
    const qint64 seconds = match.capturedView(3).toLongLong();
    if (seconds >= 60 || hours > 1000)
        return -1;
    QString fraction = match.captured(4);
    while (fraction.size() < 3)
        fraction.append(u'0');
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction.toLongLong();
}

namespace {

bool isCjk(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) ||
           (u >= 0xFF00 && u <= 0xFFEF) || c.isSurrogate();
}

} // namespace

QString joinCueLines(const QStringList &lines) {
    QString joined;
    for (const QString &raw : lines) {
        const QString line = raw.simplified();
        if (line.isEmpty())
            continue;
        if (!joined.isEmpty() && !isCjk(joined.back()) && !isCjk(line.front()))
            joined.append(u' ');
        joined.append(line);
    }
    return joined;
}

QString withoutHtmlMarkup(QString text) {
    static const QRegularExpression tags(u"<[^>]*>"_s);
    static const QRegularExpression assTags(u"\\{\\\\[^}]*\\}"_s);
    text.remove(tags);
    text.remove(assTags);
    text.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&nbsp;"_s, u" "_s);
    text.replace(u"&lrm;"_s, QString()).replace(u"&rlm;"_s, QString());
    return text.replace(u"&amp;"_s, u"&"_s);
}

} // namespace vovozodo
