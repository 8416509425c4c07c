#include "fit/range_levels.h"

#include "engine/constants.h"

#include <cmath>
#include <limits>

namespace fit {

namespace {

LevelDepths withNaN(const beamdata::RangeLevels& found) {
    LevelDepths levels{};
    for (std::size_t k = 0; k < levels.size(); ++k)
        levels[k] = found[k].value_or(std::numeric_limits<double>::quiet_NaN());
    return levels;
}

}  // namespace

LevelDepths resultCurveLevels(const DepthCurve& relative) { return withNaN(beamdata::resultCurveLevels(relative)); }

LevelDepths measuredLevels(const MeasuredCurve& curve) {
    return withNaN(beamdata::curveLevels(curve.depthMm, curve.dose));
}

double resultCurveAt(const DepthCurve& relative, double depthMm) {
    const double position = depthMm + engine::DEPTH_LABEL_OFFSET_MM;  // 1-based slab index, fractional
    if (position <= 1.0) return relative.front();
    if (position >= DEPTH_BINS)
        return position > DEPTH_BINS + 1.0 ? 0.0 : relative.back() * (DEPTH_BINS + 1.0 - position);
    const auto lower = static_cast<std::size_t>(std::floor(position));
    const double t = position - static_cast<double>(lower);
    return relative[lower - 1] * (1.0 - t) + relative[lower] * t;
}

}  // namespace fit
