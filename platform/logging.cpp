#include "platform/logging.h"

namespace vovozodo {

Q_LOGGING_CATEGORY(lcPlatform, "vovozodo.platform", QtWarningMsg)

} // namespace vovozodo
