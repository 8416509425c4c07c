#include "fit/range_levels.h"

#include "beamdata/level_depths.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fit {

namespace {

constexpr int LABEL_OFFSET = 15;  // slab i (1-based) is labelled i - 15 mm
constexpr double NOT_REACHED = std::numeric_limits<double>::quiet_NaN();

}  // namespace

RangeLevels resultCurveLevels(const DepthCurve& p) {
    RangeLevels levels{};
    for (std::size_t k = 0; k < LEVELS.size(); ++k) {
        const double level = LEVELS[k];
        int i = DEPTH_BINS;  // 1-based, from the deep end
        while (i >= 1 && p[static_cast<std::size_t>(i - 1)] <= level) --i;
        if (i < 1 || i == DEPTH_BINS) {
            levels[k] = NOT_REACHED;  // never above the level, or still above it at the last slab
            continue;
        }
        const double here = p[static_cast<std::size_t>(i - 1)];
        const double next = p[static_cast<std::size_t>(i)];
        const double x = (i + 1) - (next - level) / (next - here);
        levels[k] = x - LABEL_OFFSET;
    }
    return levels;
}

RangeLevels measuredLevels(const MeasuredCurve& curve) {
    RangeLevels levels{};
    for (std::size_t k = 0; k < LEVELS.size(); ++k)
        levels[k] = beamdata::levelDepthMm(curve.depthMm, curve.dose, LEVELS[k]);
    return levels;
}

double resultCurveAt(const DepthCurve& relative, double depthMm) {
    const double position = depthMm + LABEL_OFFSET;  // 1-based slab index, fractional
    if (position <= 1.0) return relative.front();
    if (position >= DEPTH_BINS)
        return position > DEPTH_BINS + 1.0 ? 0.0 : relative.back() * (DEPTH_BINS + 1.0 - position);
    const auto lower = static_cast<std::size_t>(std::floor(position));
    const double t = position - static_cast<double>(lower);
    return relative[lower - 1] * (1.0 - t) + relative[lower] * t;
}

}  // namespace fit
