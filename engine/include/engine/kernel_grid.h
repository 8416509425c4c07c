#pragma once
// Energy scored by depth and radius around the beam axis: 125 slabs of 1 mm (depth bin j covers
// 0.1 (j-1) <= z < 0.1 j cm) by 75 rings of 1 mm (radial bin i covers 0.1 (i-1) <= r < 0.1 i cm).
// Each step shares its energy loss among the cells its straight segment crosses, in proportion to
// the radius covered in each ring and, within a ring, to the depth covered in each slab.
#include "engine/transport.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace engine {

class KernelGrid {
public:
    static constexpr int DEPTH_BINS = engine::DEPTH_BINS;
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

    // Sets the cells of depth bins first to last (clamped to 1..125) back to zero: a grid that
    // holds one history at a time is emptied where that history scored.
    void clearDepths(int firstDepthBin, int lastDepthBin);

    // Cell (depth bin 1..125, radial bin 1..75).
    float cell(int depthBin, int radialBin) const {
        return cells_[static_cast<std::size_t>((depthBin - 1) * RADIAL_BINS + (radialBin - 1))];
    }

    // Bin number of a depth or radius in cm: the whole part of 10 v, rounded down, plus 1, so bin 1
    // covers 0 <= v < 0.1 cm only and anything below 0 lies in bin 0 or below, outside the grid.
    // Values too large for an int give a bin far outside the grid on the same side.
    static int binOf(float valueCm);

private:
    void add(int depthBin, int radialBin, float energyKeV) {
        if (depthBin >= 1 && depthBin <= DEPTH_BINS && radialBin >= 1 && radialBin <= scoredRadialBins_)
            cells_[static_cast<std::size_t>((depthBin - 1) * RADIAL_BINS + (radialBin - 1))] += energyKeV;
    }
    // Far outside the grid but safely inside the int range, so bin arithmetic cannot overflow.
    static constexpr int FAR_BIN = 1 << 29;
    static constexpr float FAR_BIN_REAL = 536870912.0f;  // 2^29
    // The outer face of a bin (cm).
    static float faceCm(int bin) { return BIN_WIDTH_CM * static_cast<float>(bin); }
    void shareOverDepth(int radialBin, float lo, float hi, float energyKeV);
    void depositSameRadius(float radiusCm, float z0, float z1, float energyKeV);

    std::vector<float> cells_;
    int scoredRadialBins_;
    float excludedRadiusSquared_;
};

// The deposit runs once per step of every history: defined here so that the history loop can
// take it in.

inline int KernelGrid::binOf(float valueCm) {
    const float scaled = BINS_PER_CM * valueCm;
    if (!(scaled < FAR_BIN_REAL)) return scaled < 0.0f ? -FAR_BIN : FAR_BIN;  // too large, or NaN
    if (!(scaled > -FAR_BIN_REAL)) return -FAR_BIN;
    // Rounded down, not toward zero: the conversion alone would put -0.1 < v < 0 into bin 1 beside
    // its own slab, and a step reaching z < 0 would then take a negative share there.
    int whole = static_cast<int>(scaled);
    if (scaled < static_cast<float>(whole)) --whole;
    return whole + 1;
}

// Shares energyKeV over the slabs from depth lo to depth hi in ring radialBin (1 to the scored
// rings). A range that is empty, reversed or not a number scores nothing.
inline void KernelGrid::shareOverDepth(int radialBin, float lo, float hi, float energyKeV) {
    if (!(hi > lo)) return;
    const int first = binOf(lo);
    const int last = binOf(hi);
    if (first > last) return;
    // Slabs outside 1..125 score nothing; start and stop the walk at the grid so that a runaway
    // depth cannot make it long. A slab after the first starts at its own inner face.
    float* ring = cells_.data() + (radialBin - 1);
    if (first >= 1 && last <= DEPTH_BINS && last - first <= 1) {
        // One or two slabs inside the grid, by far the most common case, without a walk whose
        // length the processor would have to guess: the values are picked by index, not by a
        // branch, and the first slab's part is added as +0 when there is only one slab (a cell
        // is never -0, so adding +0 leaves every bit as it was).
        const auto single = static_cast<std::size_t>(first == last);
        const float innerPart = (faceCm(first) - lo) * energyKeV / (hi - lo);
        const float lastStart[2] = {faceCm(first), lo};
        const float lastPart = (hi - lastStart[single]) * energyKeV / (hi - lo);
        const float firstPart[2] = {innerPart, 0.0f};
        ring[static_cast<std::size_t>((first - 1) * RADIAL_BINS)] += firstPart[single];
        ring[static_cast<std::size_t>((last - 1) * RADIAL_BINS)] += lastPart;
        return;
    }
    const int from = std::max(first, 1);
    const int to = std::min(last, DEPTH_BINS);
    float previous = from == first ? lo : faceCm(from - 1);
    const int lastInner = std::min(to, last - 1);  // every slab but the last ends at its outer face
    for (int j = from; j <= lastInner; ++j) {
        ring[static_cast<std::size_t>((j - 1) * RADIAL_BINS)] += (faceCm(j) - previous) * energyKeV / (hi - lo);
        previous = faceCm(j);
    }
    if (to == last && last >= from)
        ring[static_cast<std::size_t>((last - 1) * RADIAL_BINS)] += (hi - previous) * energyKeV / (hi - lo);
}

inline void KernelGrid::depositSameRadius(float radiusCm, float z0, float z1, float energyKeV) {
    const int ring = binOf(radiusCm);
    if (z1 < z0) std::swap(z0, z1);
    if (z0 == z1) {
        add(binOf(z0), ring, energyKeV);
        return;
    }
    shareOverDepth(ring, z0, z1, energyKeV);
}

inline void KernelGrid::depositStep(const Point& start, const Point& end, float energyKeV) {
    float r0 = std::sqrt(start.y * start.y + start.x * start.x);
    float r1 = std::sqrt(end.y * end.y + end.x * end.x);
    float z0 = start.z;
    float z1 = end.z;
    // A step that is not a number anywhere would spread NaN over the grid: it scores nothing.
    if (!(std::isfinite(r0) && std::isfinite(r1) && std::isfinite(z0) && std::isfinite(z1) && std::isfinite(energyKeV)))
        return;
    // A segment that stays beyond the scored rings leaves nothing in them: most steps of a broad
    // field whose scorer keeps only the rings near the axis.
    if (binOf(std::min(r0, r1)) > scoredRadialBins_) return;
    if (r0 == r1) {
        depositSameRadius(r0, z0, z1, energyKeV);
        return;
    }
    // The line z = a r + b through the points as given, before they are ordered by radius.
    const float slope = (z0 - z1) / (r0 - r1);
    const float offset = z0 - slope * r0;
    if (r1 < r0) {
        std::swap(r0, r1);
        std::swap(z0, z1);
    }
    const int firstRing = binOf(r0);
    const int lastRing = binOf(r1);
    if (firstRing > lastRing) return;
    // Rings beyond the scored ones take their share without scoring it: stop the walk there.
    const int to = std::min(lastRing, scoredRadialBins_);
    // Within a ring the segment covers the depths of the line between the ring's inner and outer
    // face, kept within the step's own depths; which face is the shallower one is fixed for the
    // step, and it is picked by index, not by a branch.
    const auto shallowerOutward = static_cast<std::size_t>(!(z0 < z1));
    const float zLow = z0 < z1 ? z0 : z1;
    const float zHigh = z0 < z1 ? z1 : z0;
    float previousRadius = r0;
    for (int i = firstRing; i <= to; ++i) {
        // Every ring but the last of the step ends at its outer face.
        const float shareEnd[2] = {faceCm(i), r1};
        const float share = (shareEnd[i == lastRing] - previousRadius) * energyKeV / (r1 - r0);
        previousRadius = faceCm(i);
        if (z0 == z1) {
            add(binOf(z0), i, share);
            continue;
        }
        const float faceDepths[2] = {static_cast<float>(i - 1) * slope * BIN_WIDTH_CM + offset,
                                     static_cast<float>(i) * slope * BIN_WIDTH_CM + offset};
        const float upper = faceDepths[shallowerOutward];
        const float lower = faceDepths[1 - shallowerOutward];
        const float lo = upper < zLow ? zLow : upper;
        const float hi = lower > zHigh ? zHigh : lower;
        shareOverDepth(i, lo, hi, share);
    }
}

}  // namespace engine
