#pragma once

#include <QLoggingCategory>

namespace vovozodo {

// "vovozodo.playback": warnings by default, debug output on request through
// QT_LOGGING_RULES="vovozodo.playback.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPlayback)

} // namespace vovozodo
