#pragma once

#include <QLoggingCategory>

namespace vovozodo {

// "vovozodo.editor": warnings by default, debug output on request through
// QT_LOGGING_RULES="vovozodo.editor.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcEditor)

} // namespace vovozodo
