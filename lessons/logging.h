#pragma once

#include <QLoggingCategory>

namespace vovozodo {

// "vovozodo.lessons": warnings by default, debug output on request through
// QT_LOGGING_RULES="vovozodo.lessons.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLessons)

} // namespace vovozodo
