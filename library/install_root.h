#pragma once

#include <QString>

namespace vovozodo {

// The lesson library folder followed by one backslash; every lesson path
// starts with it. Written once by the start-up window; empty means the current
// folder.
extern QString InstallRoot;

} // namespace vovozodo
