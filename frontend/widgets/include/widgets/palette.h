#pragma once
// The colours that the windows share: grids light grey, calculated and spectrum curves red,
// measured curves, level lines and cross-hairs blue.
#include <QColor>

namespace orvalis {

inline constexpr QColor LIGHT_GREY{192, 192, 192};
inline constexpr QColor CURVE_RED{255, 0, 0};
inline constexpr QColor LEVEL_BLUE{0, 0, 255};

}  // namespace orvalis
