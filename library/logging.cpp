#include "library/logging.h"

namespace vovozodo {

Q_LOGGING_CATEGORY(lcLibrary, "vovozodo.library", QtWarningMsg)

} // namespace vovozodo
