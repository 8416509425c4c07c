#pragma once
// R90, R80, R50 and R10 of the fit's curves, found by the one search of beamdata/range_levels.h and
// held as plain depths, NaN where a curve never falls through a level.
#include "beamdata/range_levels.h"
#include "engine/constants.h"
#include "fit/axis_basis.h"
#include "fit/measured_data.h"

#include <array>
#include <cstddef>

namespace fit {

// The level fractions in the order of beamdata::RANGE_LEVELS (R90, R80, R50, R10).
constexpr std::array<double, beamdata::RANGE_LEVELS.size()> LEVELS = {
    beamdata::levelFraction(beamdata::RANGE_LEVELS[0]), beamdata::levelFraction(beamdata::RANGE_LEVELS[1]),
    beamdata::levelFraction(beamdata::RANGE_LEVELS[2]), beamdata::levelFraction(beamdata::RANGE_LEVELS[3])};

// Depths in mm in the order of LEVELS; NaN where the curve never falls through the level (the same
// search as beamdata::RangeLevels, whose empty entries are NaN here).
using LevelDepths = std::array<double, LEVELS.size()>;

// Slab 1..125 of a result curve stands at its label depth, slab - 15 mm; in a DepthCurve slab 1 is
// element 0.
constexpr std::size_t elementOfLabel(int labelMm) {
    return static_cast<std::size_t>(labelMm + engine::DEPTH_LABEL_OFFSET_MM - 1);
}
constexpr double labelOfElement(std::size_t element) {
    return static_cast<double>(static_cast<int>(element) + 1 - engine::DEPTH_LABEL_OFFSET_MM);
}

// A result curve (125 slabs, relative): slab i stands at its label depth i - 15 mm.
LevelDepths resultCurveLevels(const DepthCurve& relative);

// A measured curve relative to its largest dose.
LevelDepths measuredLevels(const MeasuredCurve& curve);

// Relative dose of a result curve at a depth in mm, linear between label depths; 0 beyond 110 mm.
double resultCurveAt(const DepthCurve& relative, double depthMm);

}  // namespace fit
