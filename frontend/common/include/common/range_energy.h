#pragma once
// The range-energy table of electrons in water (water.csda) and the maximum energy of a
// spectrum derived from the measured practical range.
#include <filesystem>
#include <optional>

#include "common/module1.h"

namespace orvalis {

inline constexpr const char* CSDA_FILE_NAME = "water.csda";
// The maximum energy of the spectrum lies this much above the energy whose CSDA range equals
// the practical range.
inline constexpr double MAX_ENERGY_PER_RANGE_ENERGY = 1.06;

// Reads the table: two heading lines are skipped, then 33 pairs of energy (MeV) and CSDA range
// (cm) separated by commas, blanks or line ends in any layout. Rows go to 1..33 of CsdaEnergy
// and CsdaRange; row 0 stays 0. Throws FileError naming the file when it cannot be opened, has
// fewer numbers, holds a field that is not a number, or when its energies and ranges are not all
// positive and strictly ascending. Nothing is stored unless all is read.
void readCsdaTable(const std::filesystem::path& file, Module1& data);

// The maximum energy (MeV) for a practical range (cm): linear interpolation in the table (below
// row 2's range, extrapolation along rows 1 and 2), times 1.06. Empty when the range is beyond the
// last row or the table gives no finite result (two equal ranges, an empty table).
std::optional<double> maxEnergyFromRange(double practicalRangeCm, const Module1& data);

}  // namespace orvalis
