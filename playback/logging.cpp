#include "playback/logging.h"

namespace vovozodo {

Q_LOGGING_CATEGORY(lcPlayback, "vovozodo.playback", QtWarningMsg)

} // namespace vovozodo
