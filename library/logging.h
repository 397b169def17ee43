#pragma once

#include <QLoggingCategory>

namespace vovozodo {

// "vovozodo.library": warnings by default, debug output on request through
// QT_LOGGING_RULES="vovozodo.library.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

} // namespace vovozodo
