#pragma once

#include <QColor>

namespace vovozodo {

// The colours the window designs use, each defined once.
namespace design {

inline const QColor kLightYellow(255, 255, 192);
inline const QColor kLightGreen(192, 255, 192);
inline const QColor kLightCyan(192, 255, 255);
inline const QColor kPink(255, 192, 192);
inline const QColor kLavender(128, 128, 255);
inline const QColor kWindowGreen(0, 192, 0);
inline const QColor kDarkGreen(0, 128, 0);
inline const QColor kGrey(128, 128, 128);
inline const QColor kRed(255, 0, 0);
inline const QColor kBlue(0, 0, 255);

} // namespace design

} // namespace vovozodo
