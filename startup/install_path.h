#pragma once

#include "platform/windows_directory.h"

#include <QString>

namespace vovozodo {

// The upper-cased Windows directory, trimmed of blanks and still ending with
// the NUL the system wrote after it; empty when the call fails or the
// directory does not fit 19 characters.
QString GetWindowsDir(const platform::WindowsDirectoryQuery &query);

// What a label keeps of a string assigned to its caption: the part before the
// first NUL. The start-up window relies on it to drop the system's terminators.
QString captionOf(const QString &text);

} // namespace vovozodo
