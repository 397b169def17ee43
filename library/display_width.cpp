#include "library/display_width.h"

namespace vovozodo {

namespace {

int unitWidth(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return 2;
    if (c == u'\u201C' || c == u'\u201D')
        return 2;
    if (c == u' ')
        return 1;
    return 4;
}

} // namespace

qint64 DisplayWidth(QStringView text) {
    // Measured over the whole string: a long line simply gets no padding.
    qint64 sum = 0;
    for (QChar c : text)
        sum += unitWidth(c.unicode());
    return sum;
}

} // namespace vovozodo
