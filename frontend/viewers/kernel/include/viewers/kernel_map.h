#pragma once
// The dose kernel as the viewer shows it: the ten logarithmic grey classes of the map relative to
// the kernel's maximum, and the cross-hair read-out (the file, its reader and its writer:
// beamdata/kernel_file.h).
#include "beamdata/kernel_file.h"
#include "engine/constants.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvalis::viewers {

constexpr int MAP_DEPTH_BINS = 95;  // 15 mm in front of the entry plane down to 80 mm
constexpr int MAP_RADIAL_BINS = 60;
constexpr int ENTRY_PLANE_BIN = engine::DEPTH_LABEL_OFFSET_MM;  // depth bin i has the depth label i - 15 mm
constexpr int GREY_CLASS_COUNT = 10;
constexpr int WHITE_CELL = 0;  // class of a cell that is not painted

// Class 1 to 10 of r = value / maximum (r = 1, then strictly above 0.5, 0.1, 0.05, ... 0.00005),
// or WHITE_CELL at r <= 0.00005.
int greyClass(double ratio);

// Grey level (red = green = blue) of a class: 25.5 x (class - 1), ties to the even neighbour.
int greyLevel(int greyClassNumber);

// The maximum as shown in its box: the shortest text that reads back as the same value
// ("0.0123", "4.56E-05").
std::string plainNumberText(double value);

// Legend label of a class: its lower bound in percent of the maximum; "100 %" for class 1.
std::string legendLabel(int greyClassNumber);

// Map rectangle of cell (depth bin i, radial bin j) in map units (10 per mm, y downwards).
struct MapRect {
    double left;
    double top;
    double right;
    double bottom;
};
MapRect mapCellRect(int depthBin, int radialBin);

// Cross-hair read-out at map point (x, y): nullopt near the edges (x <= 1, x >= 598, y <= 1,
// y >= 948), where the cross-hair is hidden.
struct KernelReadout {
    int depthMm;   // Z: label of the depth bin whose deep boundary is nearest to y
    int radiusMm;  // R: nearest whole millimetre of x
    int depthBin;
};
std::optional<KernelReadout> kernelReadout(double x, double y);

// Value of the cell under the cross-hair in percent of the maximum taken from its box; nullopt when
// that maximum is not positive or the cell is outside the table.
std::optional<double> readoutPercentOfMax(const beamdata::KernelTable& table, int depthBin, int radiusMm,
                                          double maxValue);

}  // namespace orvalis::viewers
