#pragma once
// Inputs of the fit besides the basis: the measured depth dose (the comparison window's ".csv"
// layout) and the range-energy table water.csda with the set-up window's conversion of the
// practical range to the maximum energy.
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
// a positive dose; and for what no measurement holds: a depth beyond 10 m, or a dose below minus
// the largest dose.
MeasuredCurve readMeasuredCurve(const std::filesystem::path& path);

// Practical range (mm) of a measured curve: where the tangent at the steepest point of the fall-off
// (the largest slope between the neighbours of a record, beyond the maximum) meets zero dose. Empty
// when the curve has no fall-off of at least three records.
std::optional<double> practicalRangeMm(const MeasuredCurve& curve);

struct CsdaTable {
    std::vector<double> energyMeV;  // ascending
    std::vector<double> rangeCm;    // ascending
};

// water.csda: two heading lines, then energy and range pairs in free format, both positive and
// strictly ascending. Throws engine::RunError naming the file and line.
CsdaTable readCsdaTable(const std::filesystem::path& path);

// The set-up window's maximum energy for a practical range (cm): the energy whose CSDA range equals
// it (linear between rows, extrapolated below the second row), times 1.06, rounded to 0.1 MeV as its
// box shows it. Empty beyond the last row or for a table that gives no finite value.
std::optional<double> maxEnergyFromPracticalRange(const CsdaTable& table, double practicalRangeCm);

}  // namespace fit
