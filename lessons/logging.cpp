#include "lessons/logging.h"

namespace vovozodo {

Q_LOGGING_CATEGORY(lcLessons, "vovozodo.lessons", QtWarningMsg)

} // namespace vovozodo
