#pragma once
// The range-energy table of electrons in water (water.csda) and the maximum energy of a spectrum
// derived from a practical range: the set-up window's rule, which the fit uses as its start.
#include <array>
#include <filesystem>
#include <optional>

namespace beamdata {

inline constexpr const char* CSDA_FILE_NAME = "water.csda";
inline constexpr int CSDA_ROW_COUNT = 33;  // rows of the table that are read
// The maximum energy of the spectrum lies this much above the energy whose CSDA range equals the
// practical range.
inline constexpr double MAX_ENERGY_PER_RANGE_ENERGY = 1.06;

// Row i (0..32) holds an energy in MeV and its CSDA range in cm.
struct RangeEnergyTable {
    std::array<double, CSDA_ROW_COUNT> energyMeV{};
    std::array<double, CSDA_ROW_COUNT> rangeCm{};
};

// Reads the table: two heading lines are skipped, then 33 pairs of energy (MeV) and CSDA range (cm)
// separated by commas, blanks or line ends in any layout; what follows them is not read. Throws
// engine::RunError naming the file when it cannot be opened, has fewer numbers, holds a field that
// is not a number, or when its energies and ranges are not all positive and strictly ascending.
RangeEnergyTable readRangeEnergyTable(const std::filesystem::path& file);

// The maximum energy (MeV) for a practical range (cm): linear interpolation in the table (below
// the second row's range, extrapolation along the first two rows), times 1.06. Empty when the range
// is beyond the last row or the table gives no finite result (two equal ranges, an empty table).
std::optional<double> maxEnergyFromPracticalRange(const RangeEnergyTable& table, double practicalRangeCm);

// The same as the set-up window's box shows it and a run then uses it: to 0.1 MeV ("#0.0").
std::optional<double> shownMaxEnergyFromPracticalRange(const RangeEnergyTable& table, double practicalRangeCm);

}  // namespace beamdata
