#include "library/install_root.h"

namespace vovozodo {

QString InstallRoot;

} // namespace vovozodo
