#pragma once

#include <QStringView>

namespace vovozodo {

// Estimated on-screen width of a transcript line, in units where a space is 1:
// digits and curly double quotes count 2, everything else 4, per UTF-16 code
// unit (so a character outside the Basic Multilingual Plane counts 8). The font
// is not consulted.
qint64 DisplayWidth(QStringView text);

} // namespace vovozodo
