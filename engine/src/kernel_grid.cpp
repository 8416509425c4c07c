#include "engine/kernel_grid.h"

#include <algorithm>

namespace engine {

KernelGrid::KernelGrid(int scoredRadialBins)
    : cells_(static_cast<std::size_t>(DEPTH_BINS * RADIAL_BINS), 0.0f),
      scoredRadialBins_(std::clamp(scoredRadialBins, 1, RADIAL_BINS)) {
    // 0.1 mm beyond the outer face of the last scored ring: far above any rounding of a radius.
    const float excludedRadiusCm = faceCm(scoredRadialBins_) + 0.01f;
    excludedRadiusSquared_ = excludedRadiusCm * excludedRadiusCm;
}

void KernelGrid::normalise(float totalIncidentEnergyKeV) {
    for (float& value : cells_) value = value / totalIncidentEnergyKeV;
}

void KernelGrid::clearDepths(int firstDepthBin, int lastDepthBin) {
    const int from = std::max(firstDepthBin, 1);
    const int to = std::min(lastDepthBin, DEPTH_BINS);
    if (from > to) return;
    std::fill(cells_.begin() + (from - 1) * RADIAL_BINS, cells_.begin() + to * RADIAL_BINS, 0.0f);
}

}  // namespace engine
