#pragma once
// The measured depth dose that the fit reads (the comparison window's ".csv" layout) and its
// practical range.
#include <filesystem>
#include <optional>
#include <vector>

namespace fit {

// Depths in mm and doses in any positive unit, in file order.
struct MeasuredCurve {
    std::vector<double> depthMm;
    std::vector<double> dose;
};

// Reads a measured file: one header line, then pairs of numbers (depth, dose) separated by commas,
// blanks, tabs or line ends. Throws engine::RunError naming the file and line for a missing file, a
// field that is not a number, a depth without a dose, depths that do not increase, or a file without
// a positive dose.
MeasuredCurve readMeasuredCurve(const std::filesystem::path& path);

// Practical range (mm) of a measured curve: where the tangent at the steepest point of the fall-off
// (the largest slope between the neighbours of a record, beyond the maximum) meets zero dose. Empty
// when the curve has no fall-off of at least three records.
std::optional<double> practicalRangeMm(const MeasuredCurve& curve);

}  // namespace fit
