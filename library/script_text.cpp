#include "library/script_text.h"

#include <algorithm>
#include <iterator>

namespace vovozodo {

namespace {
constexpr char16_t kBlank = u' ';
}

bool isBlankLine(QStringView line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c == kBlank; });
}

QStringView withoutLeadingBlanks(QStringView text) {
    qsizetype start = 0;
    while (start < text.size() && text[start] == kBlank)
        ++start;
    return text.mid(start);
}

QString trimBlanks(QStringView text) {
    QStringView rest = withoutLeadingBlanks(text);
    qsizetype end = rest.size();
    while (end > 0 && rest[end - 1] == kBlank)
        --end;
    return rest.left(end).toString();
}

void appendDecimal(QString &text, qsizetype number) {
    char16_t digits[24];
    qsizetype first = std::size(digits);
    do {
        digits[--first] = char16_t(u'0' + number % 10);
        number /= 10;
    } while (number > 0);
    text.append(QStringView(digits + first, digits + std::size(digits)));
}

} // namespace vovozodo
