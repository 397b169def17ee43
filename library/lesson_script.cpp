#include "library/lesson_script.h"

#include "library/display_width.h"
#include "library/script_text.h"
#include "platform/text_file.h"

#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

constexpr int kHeadingLineWidth = 85;

} // namespace

QStringList sentenceLines(const QStringList &fileLines) {
    QStringList sentences;
    for (qsizetype i = 1; i < fileLines.size(); ++i) {
        const QString &line = fileLines[i];
        if (isBlankLine(line))
            continue;
        sentences.append(sentences.isEmpty() ? trimBlanks(line) : line);
    }
    return sentences;
}

std::optional<QStringList> readSentenceLines(const QString &windowsPath) {
    std::optional<QStringList> lines = platform::readTextLines(windowsPath);
    if (!lines)
        return std::nullopt;
    return sentenceLines(*lines);
}

int headingPadding(qint64 width) {
    // Wider headings get no padding at all; a width is never allowed to wrap
    // round to a negative number and turn into thousands of spaces.
    if (width < 0 || width > kHeadingLineWidth)
        return 0;
    return int(std::floor((kHeadingLineWidth - width) / 2.0));
}

QString composeTranscript(const QStringList &sentences) {
    if (sentences.isEmpty())
        return {};
    const QString &heading = sentences.first();
    const int padding = headingPadding(DisplayWidth(heading));

    qsizetype size = padding;
    for (const QString &sentence : sentences)
        size += sentence.size() + 2;
    QString text;
    text.reserve(size);

    text.append(QString(padding, u' ')).append(heading);
    for (qsizetype k = 1; k < sentences.size(); ++k) {
        const QString &sentence = sentences[k];
        if (sentence.startsWith(u"  "))
            text.append(u"\r\n");
        text.append(sentence);
    }
    return text;
}

QStringList sentenceChooserEntries(const QStringList &sentences) {
    QStringList entries;
    entries.reserve(sentences.size() + 1);
    entries.append(u"--- Select ---"_s);
    for (qsizetype k = 0; k < sentences.size(); ++k) {
        const QStringView rest = withoutLeadingBlanks(sentences[k]);
        QStringView start = rest.left(4);
        // Never cut a character outside the Basic Multilingual Plane in half.
        if (start.size() == 4 && start.back().isHighSurrogate() && rest.size() > 4)
            start = rest.left(5);
        // Built in place: a long lesson has tens of thousands of entries.
        QString entry;
        entry.reserve(24);
        appendDecimal(entry, k + 1);
        entry.append(u". ").append(start).append(u"...");
        entries.append(std::move(entry));
    }
    return entries;
}

} // namespace vovozodo
