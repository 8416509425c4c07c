#include "viewers/kernel_map.h"

#include <charconv>
#include <cmath>

namespace orvalis::viewers {
namespace {

// Lower bounds of classes 2 to 10 (class 1 is the maximum itself).
constexpr std::array<double, GREY_CLASS_COUNT - 1> CLASS_LOWER_BOUNDS = {0.5,   0.1,    0.05,   0.01,   0.005,
                                                                         0.001, 0.0005, 0.0001, 0.00005};
constexpr std::array<const char*, GREY_CLASS_COUNT> LEGEND_LABELS = {"100 %", "50",  "10",   "5",    "1",
                                                                     "0.5",   "0.1", "0.05", "0.01", "0.005"};
constexpr double MAP_UNITS_PER_MM = 10.0;
constexpr double MAP_WIDTH = 600.0;
constexpr double MAP_HEIGHT = 950.0;
constexpr double READOUT_MARGIN = 2.0;

}  // namespace

int greyClass(double ratio) {
    if (ratio == 1.0) return 1;
    for (std::size_t k = 0; k < CLASS_LOWER_BOUNDS.size(); ++k)
        if (ratio > CLASS_LOWER_BOUNDS[k]) return static_cast<int>(k) + 2;
    return WHITE_CELL;
}

int greyLevel(int greyClassNumber) {
    const double level = 25.5 * (greyClassNumber - 1);
    // Half-way values go to the even neighbour (76.5 -> 76, 127.5 -> 128).
    const double down = std::floor(level);
    const double fraction = level - down;
    double rounded = fraction > 0.5 ? down + 1.0 : down;
    if (fraction == 0.5) rounded = (std::fmod(down, 2.0) == 0.0) ? down : down + 1.0;
    return static_cast<int>(rounded);
}

std::string plainNumberText(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general);
    std::string textValue(buffer.data(), result.ptr);
    for (char& c : textValue)
        if (c == 'e') c = 'E';
    return textValue;
}

std::string legendLabel(int greyClassNumber) {
    if (greyClassNumber < 1 || greyClassNumber > GREY_CLASS_COUNT) return {};
    return LEGEND_LABELS[static_cast<std::size_t>(greyClassNumber - 1)];
}

MapRect mapCellRect(int depthBin, int radialBin) {
    const double j = radialBin;
    const double i = depthBin;
    return {MAP_UNITS_PER_MM * j - 9.0, MAP_UNITS_PER_MM * i - 9.0, MAP_UNITS_PER_MM * j, MAP_UNITS_PER_MM * i};
}

std::optional<KernelReadout> kernelReadout(double x, double y) {
    if (x <= 1.0 || x >= MAP_WIDTH - READOUT_MARGIN || y <= 1.0 || y >= MAP_HEIGHT - READOUT_MARGIN)
        return std::nullopt;
    const int depthBin = static_cast<int>(std::floor(y / MAP_UNITS_PER_MM + 0.5));
    const int radiusMm = static_cast<int>(std::floor(x / MAP_UNITS_PER_MM + 0.5));
    return KernelReadout{depthBin - ENTRY_PLANE_BIN, radiusMm, depthBin};
}

std::optional<double> readoutPercentOfMax(const beamdata::KernelTable& table, int depthBin, int radiusMm,
                                          double maxValue) {
    if (!(maxValue > 0.0) || depthBin < 0 || depthBin > beamdata::KERNEL_DEPTH_LAST || radiusMm < 0 ||
        radiusMm > beamdata::KERNEL_RADIAL_LAST)
        return std::nullopt;
    return 100.0 * table[static_cast<std::size_t>(depthBin)][static_cast<std::size_t>(radiusMm)] / maxValue;
}

}  // namespace orvalis::viewers
