#pragma once
// The measured depth dose that the fit reads (the comparison window's ".csv" layout or a water-tank
// export) and its practical range.
#include <filesystem>
#include <optional>
#include <vector>

#include "beamdata/curve_plausibility.h"
#include "beamdata/ionisation_to_dose.h"

namespace fit {

// Depths in mm and doses in any positive unit, in file order.
struct MeasuredCurve {
    std::vector<double> depthMm;
    std::vector<double> dose;
};

// Reads a measured file in any format the measured-curve reader knows (CSV: one header line, then
// pairs of depth and dose); `scan` picks one of several depth curves (counted from 1), an ionisation
// curve is converted to dose (as detected, or as `quantity` says). Throws engine::RunError naming the
// file and line for a missing or malformed file, and, listing them, for a file of several depth
// curves without `scan`. Depths declared in cm (`unit`) are turned into mm.
MeasuredCurve readMeasuredCurve(const std::filesystem::path& path, std::optional<int> scan = std::nullopt,
                                beamdata::QuantityChoice quantity = beamdata::QuantityChoice::AsDetected,
                                beamdata::DepthUnit unit = beamdata::DepthUnit::Mm);

// The same for a fit: a curve that cannot be a depth dose in mm (too few points, depths that look
// like cm, a second peak) throws engine::RunError naming the file (and the curve of several) and
// why, so that it is never fitted.
MeasuredCurve readFittableCurve(const std::filesystem::path& path, std::optional<int> scan,
                                beamdata::QuantityChoice quantity, beamdata::DepthUnit unit);

// Practical range (mm) of a measured curve: the beam-quality Rp of the same curve (the fall-off's
// one owner, beamdata/fall_off.h), where the tangent at the steepest point of the fall-off meets
// the bremsstrahlung background. Empty when the curve has no fall-off of at least three records.
std::optional<double> practicalRangeMm(const MeasuredCurve& curve);

}  // namespace fit
