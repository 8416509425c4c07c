#include "beamdata/level_depths.h"

#include <algorithm>
#include <limits>

namespace beamdata {

double levelDepthMm(std::span<const double> depthMm, std::span<const double> value, double level) {
    constexpr double NOT_REACHED = std::numeric_limits<double>::quiet_NaN();
    if (value.empty()) return NOT_REACHED;
    const double largest = *std::max_element(value.begin(), value.end());
    const std::size_t n = value.size();
    std::size_t i = n;  // count of points still to look at
    while (i >= 1 && value[i - 1] / largest <= level) --i;
    if (i < 1 || i == n) return NOT_REACHED;
    const double pHere = value[i - 1] / largest;
    const double pNext = value[i] / largest;
    return depthMm[i] - (depthMm[i] - depthMm[i - 1]) * (pNext - level) / (pNext - pHere);
}

}  // namespace beamdata
