#pragma once

#include <QLoggingCategory>

namespace vovozodo {

// "vovozodo.platform": warnings by default, debug output on request through
// QT_LOGGING_RULES="vovozodo.platform.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

} // namespace vovozodo
