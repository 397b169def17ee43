#include "editor/logging.h"

namespace vovozodo {

Q_LOGGING_CATEGORY(lcEditor, "vovozodo.editor", QtWarningMsg)

} // namespace vovozodo
