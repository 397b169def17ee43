#pragma once

#include <QString>

namespace vovozodo {

// A time in a recording as the tool's messages show it: "1:06".
QString clockText(qint64 ms);
// The same with tenths, where a cue's own time is quoted: "1:06.5".
QString clockTextWithTenths(qint64 ms);

} // namespace vovozodo
