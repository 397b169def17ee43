#include "lessons/clock_text.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

QString clockText(qint64 ms) {
    return u"%1:%2"_s.arg(ms / 60000).arg(ms / 1000 % 60, 2, 10, QChar(u'0'));
}

QString clockTextWithTenths(qint64 ms) {
    return clockText(ms) + u'.' + QString::number(ms % 1000 / 100);
}

} // namespace vovozodo
