#pragma once
// Energy scored by depth and radius around the beam axis: 125 slabs of 1 mm (depth bin j covers
// 0.1 (j-1) <= z < 0.1 j cm) by 75 rings of 1 mm (radial bin i covers 0.1 (i-1) <= r < 0.1 i cm).
// Each step shares its energy loss among the cells its straight segment crosses, in proportion to
// the radius covered in each ring and, within a ring, to the depth covered in each slab.
#include "engine/transport.h"

#include <vector>

namespace engine {

class KernelGrid {
public:
    static constexpr int DEPTH_BINS = 125;
    static constexpr int RADIAL_BINS = 75;
    static constexpr float BIN_WIDTH_CM = 0.1f;
    static constexpr float BINS_PER_CM = 10.0f;

    // scoredRadialBins (1 to 75) limits the rings that are filled; the others stay zero. A simulator
    // that reads only the inner rings may pass a smaller number without changing what it reads.
    explicit KernelGrid(int scoredRadialBins = RADIAL_BINS);

    // Adds the energy lost (keV) along the segment start-end (cm) to the cells it crosses; energy
    // outside the grid is dropped.
    void depositStep(const Point& start, const Point& end, float energyKeV);

    // False when the segment start-end certainly stays beyond the scored rings, so that
    // depositStep would add nothing: a test on the squared radii against a limit a little outside
    // the last scored ring, so that no rounding can change the answer. A step whose coordinates
    // are not numbers is never excluded here.
    bool mayScore(const Point& start, const Point& end) const {
        return !(start.y * start.y + start.x * start.x > excludedRadiusSquared_ &&
                 end.y * end.y + end.x * end.x > excludedRadiusSquared_);
    }

    // Divides every cell by the total incident energy (keV), depth in the outer loop.
    void normalise(float totalIncidentEnergyKeV);

    // Cell (depth bin 1..125, radial bin 1..75).
    float cell(int depthBin, int radialBin) const {
        return cells_[static_cast<std::size_t>((depthBin - 1) * RADIAL_BINS + (radialBin - 1))];
    }

    // Bin number of a depth or radius in cm: (int)(10 v) + 1, truncated toward zero. Values too
    // large for an int give a bin far outside the grid on the same side.
    static int binOf(float valueCm);

private:
    void add(int depthBin, int radialBin, float energyKeV) {
        if (depthBin >= 1 && depthBin <= DEPTH_BINS && radialBin >= 1 && radialBin <= scoredRadialBins_)
            cells_[static_cast<std::size_t>((depthBin - 1) * RADIAL_BINS + (radialBin - 1))] += energyKeV;
    }
    void shareOverDepth(int radialBin, float lo, float hi, float energyKeV);
    void depositSameRadius(float radiusCm, float z0, float z1, float energyKeV);

    std::vector<float> cells_;
    int scoredRadialBins_;
    float excludedRadiusSquared_;
};

}  // namespace engine
