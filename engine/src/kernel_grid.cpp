#include "engine/kernel_grid.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace engine {

namespace {

// Far outside the grid but safely inside the int range, so bin arithmetic cannot overflow.
constexpr int FAR_BIN = 1 << 29;
constexpr float FAR_BIN_REAL = 536870912.0f;  // 2^29

float face(int bin) { return KernelGrid::BIN_WIDTH_CM * static_cast<float>(bin); }

}  // namespace

KernelGrid::KernelGrid(int scoredRadialBins)
    : cells_(static_cast<std::size_t>(DEPTH_BINS * RADIAL_BINS), 0.0f),
      scoredRadialBins_(std::clamp(scoredRadialBins, 1, RADIAL_BINS)) {
    // 0.1 mm beyond the outer face of the last scored ring: far above any rounding of a radius.
    const float excludedRadiusCm = face(scoredRadialBins_) + 0.01f;
    excludedRadiusSquared_ = excludedRadiusCm * excludedRadiusCm;
}

int KernelGrid::binOf(float valueCm) {
    const float scaled = BINS_PER_CM * valueCm;
    if (!(scaled < FAR_BIN_REAL)) return scaled < 0.0f ? -FAR_BIN : FAR_BIN;  // too large, or NaN
    if (!(scaled > -FAR_BIN_REAL)) return -FAR_BIN;
    return static_cast<int>(scaled) + 1;
}

// Shares energyKeV over the slabs from depth lo to depth hi in ring radialBin (1 to the scored
// rings). A range that is empty, reversed or not a number scores nothing.
void KernelGrid::shareOverDepth(int radialBin, float lo, float hi, float energyKeV) {
    if (!(hi > lo)) return;
    const int first = binOf(lo);
    const int last = binOf(hi);
    if (first > last) return;
    // Slabs outside 1..125 score nothing; start and stop the walk at the grid so that a runaway
    // depth cannot make it long. A slab after the first starts at its own inner face.
    const int from = std::max(first, 1);
    const int to = std::min(last, DEPTH_BINS);
    float* ring = cells_.data() + (radialBin - 1);
    float previous = from == first ? lo : face(from - 1);
    const int lastInner = std::min(to, last - 1);  // every slab but the last ends at its outer face
    for (int j = from; j <= lastInner; ++j) {
        ring[static_cast<std::size_t>((j - 1) * RADIAL_BINS)] += (face(j) - previous) * energyKeV / (hi - lo);
        previous = face(j);
    }
    if (to == last && last >= from) ring[static_cast<std::size_t>((last - 1) * RADIAL_BINS)] += (hi - previous) * energyKeV / (hi - lo);
}

void KernelGrid::depositSameRadius(float radiusCm, float z0, float z1, float energyKeV) {
    const int ring = binOf(radiusCm);
    if (z1 < z0) std::swap(z0, z1);
    if (z0 == z1) {
        add(binOf(z0), ring, energyKeV);
        return;
    }
    shareOverDepth(ring, z0, z1, energyKeV);
}

void KernelGrid::depositStep(const Point& start, const Point& end, float energyKeV) {
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
    float previousRadius = r0;
    for (int i = firstRing; i <= to; ++i) {
        float share = 0.0f;
        if (i < lastRing) {
            share = (face(i) - previousRadius) * energyKeV / (r1 - r0);
            previousRadius = face(i);
        } else {
            share = (r1 - previousRadius) * energyKeV / (r1 - r0);
        }
        if (z0 == z1) {
            add(binOf(z0), i, share);
            continue;
        }
        const float zInner = static_cast<float>(i - 1) * slope * BIN_WIDTH_CM + offset;
        const float zOuter = static_cast<float>(i) * slope * BIN_WIDTH_CM + offset;
        float lo = 0.0f;
        float hi = 0.0f;
        if (z0 < z1) {
            lo = zInner < z0 ? z0 : zInner;
            hi = zOuter > z1 ? z1 : zOuter;
        } else {
            hi = zInner > z0 ? z0 : zInner;
            lo = zOuter < z1 ? z1 : zOuter;
        }
        shareOverDepth(i, lo, hi, share);
    }
}

void KernelGrid::normalise(float totalIncidentEnergyKeV) {
    for (float& value : cells_) value = value / totalIncidentEnergyKeV;
}

}  // namespace engine
