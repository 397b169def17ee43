#pragma once

#include <QRect>

#include <cmath>

namespace vovozodo {

// Window layouts are designed in twips (1/1440 inch). At 96 dpi 15 twips make
// one logical pixel; Qt scales logical pixels for high-DPI screens, so this
// one conversion keeps the proportions everywhere. Fractions round half away
// from zero, the same way for every size.
inline constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips) {
    return int(std::lround(twips / kTwipsPerPixel));
}

inline double pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

inline QRect twipsRect(double left, double top, double width, double height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace vovozodo
