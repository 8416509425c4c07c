#pragma once
// The depth where a measured depth curve falls through a level (R90, R80, R50, I50, ...),
// searched from the deep end as the comparison window searches it.
#include <span>

namespace beamdata {

// Depth in mm where the curve, relative to its largest value, falls through `level` (a fraction):
// the deepest point still above the level and the next one, linear in depth. NaN when no point is
// above the level, or when the last point still is (the curve never falls through it).
double levelDepthMm(std::span<const double> depthMm, std::span<const double> value, double level);

}  // namespace beamdata
