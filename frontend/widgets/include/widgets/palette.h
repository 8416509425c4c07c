#pragma once
// The colours that the windows share: grids light grey, calculated and spectrum curves red,
// measured curves, level lines and cross-hairs blue, fitted curves green. Several curves of one
// kind on a plot take the shades of their kind's family, the kind's own colour first.
#include <QColor>

#include <array>

namespace orvalis {

inline constexpr QColor LIGHT_GREY{192, 192, 192};
inline constexpr QColor CURVE_RED{255, 0, 0};
inline constexpr QColor LEVEL_BLUE{0, 0, 255};
inline constexpr QColor FITTED_GREEN{0, 160, 0};

struct NamedColor {
    QColor color;
    const char* name;  // for the legend's accessible text
};

inline constexpr std::array<NamedColor, 5> BLUE_FAMILY{{{LEVEL_BLUE, "blue"},
                                                        {QColor(0, 0, 130), "navy"},
                                                        {QColor(0, 140, 230), "sky blue"},
                                                        {QColor(110, 50, 210), "violet"},
                                                        {QColor(60, 100, 150), "steel blue"}}};
inline constexpr std::array<NamedColor, 5> RED_FAMILY{{{CURVE_RED, "red"},
                                                       {QColor(140, 0, 0), "dark red"},
                                                       {QColor(240, 110, 0), "orange"},
                                                       {QColor(210, 0, 130), "crimson"},
                                                       {QColor(150, 80, 50), "brown"}}};
inline constexpr std::array<NamedColor, 5> GREEN_FAMILY{{{FITTED_GREEN, "green"},
                                                         {QColor(0, 90, 0), "dark green"},
                                                         {QColor(120, 150, 0), "olive"},
                                                         {QColor(0, 170, 130), "sea green"},
                                                         {QColor(80, 200, 40), "light green"}}};

}  // namespace orvalis
