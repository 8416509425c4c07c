#pragma once
// R90, R80, R50 and R10: the depths where a depth dose falls through 90, 80, 50 and 10 % of its
// maximum, searched from the deep end as the comparison window does.
#include "fit/axis_basis.h"
#include "fit/measured_data.h"

#include <array>

namespace fit {

constexpr std::array<double, 4> LEVELS = {0.9, 0.8, 0.5, 0.1};

// Depths in mm in the order of LEVELS; NaN where the curve never falls through the level.
using RangeLevels = std::array<double, 4>;

// A result curve (125 slabs, relative): slab i stands at its label depth i - 15 mm, the deepest
// slab still above the level is interpolated linearly against the next one.
RangeLevels resultCurveLevels(const DepthCurve& relative);

// A measured curve relative to its largest dose, interpolated linearly in depth. A level that the
// last record still exceeds has no crossing (NaN).
RangeLevels measuredLevels(const MeasuredCurve& curve);

// Relative dose of a result curve at a depth in mm, linear between label depths; 0 beyond 110 mm.
double resultCurveAt(const DepthCurve& relative, double depthMm);

}  // namespace fit
