#include "beamdata/range_energy.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "engine/run_error.h"

namespace beamdata {
namespace {

constexpr int HEADING_LINES = 2;

bool isSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

RangeEnergyTable readRangeEnergyTable(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    std::ifstream in(file, std::ios::binary);
    if (!in) throw engine::RunError("Cannot open the range table " + name);
    std::string line;
    int lineNumber = 0;
    for (int i = 0; i < HEADING_LINES; ++i) {
        if (!std::getline(in, line)) {
            throw engine::RunError("The range table " + name + " ends within its two heading lines");
        }
        ++lineNumber;
    }
    std::vector<double> numbers;
    const std::size_t wanted = 2 * CSDA_ROW_COUNT;
    while (numbers.size() < wanted && std::getline(in, line)) {
        ++lineNumber;
        std::size_t pos = 0;
        while (numbers.size() < wanted && pos < line.size()) {
            while (pos < line.size() && isSeparator(line[pos])) ++pos;
            const std::size_t start = pos;
            while (pos < line.size() && !isSeparator(line[pos])) ++pos;
            if (pos == start) break;
            const std::string field = line.substr(start, pos - start);
            if (!isNumberText(field)) {
                throw engine::RunError("The range table " + name + " has \"" + field +
                                       "\" where a number belongs (line " + std::to_string(lineNumber) + ")");
            }
            numbers.push_back(textValue(field));
        }
    }
    if (numbers.size() < wanted) {
        throw engine::RunError("The range table " + name + " holds " + std::to_string(numbers.size()) + " of its " +
                               std::to_string(wanted) + " numbers");
    }
    // The search interpolates between neighbouring rows in order: reversed or repeated rows, or
    // another file's numbers (a depth-dose file starts with depth -14 and dose 0), give wrong
    // energies without any error, so such a table is not taken.
    for (std::size_t row = 0; row < CSDA_ROW_COUNT; ++row) {
        const double energy = numbers[2 * row];
        const double range = numbers[2 * row + 1];
        const bool ascending = row == 0 || (energy > numbers[2 * row - 2] && range > numbers[2 * row - 1]);
        if (!(energy > 0.0 && range > 0.0 && ascending)) {
            throw engine::RunError("The range table " + name +
                                   " is not a table of positive, ascending energies and ranges (row " +
                                   std::to_string(row + 1) + ")");
        }
    }
    RangeEnergyTable table;
    for (std::size_t row = 0; row < CSDA_ROW_COUNT; ++row) {
        table.energyMeV[row] = numbers[2 * row];
        table.rangeCm[row] = numbers[2 * row + 1];
    }
    return table;
}

std::optional<double> maxEnergyFromPracticalRange(const RangeEnergyTable& table, double practicalRangeCm) {
    std::size_t i = 1;
    while (practicalRangeCm > table.rangeCm[i]) {
        ++i;
        if (i >= CSDA_ROW_COUNT) return std::nullopt;
    }
    const double e0 = table.energyMeV[i - 1];
    const double r0 = table.rangeCm[i - 1];
    const double rangeStep = table.rangeCm[i] - r0;
    if (rangeStep == 0.0) return std::nullopt;
    const double energyMeV = e0 + (practicalRangeCm - r0) * (table.energyMeV[i] - e0) / rangeStep;
    const double maxEnergyMeV = energyMeV * MAX_ENERGY_PER_RANGE_ENERGY;
    if (!std::isfinite(maxEnergyMeV)) return std::nullopt;
    return maxEnergyMeV;
}

std::optional<double> shownMaxEnergyFromPracticalRange(const RangeEnergyTable& table, double practicalRangeCm) {
    const auto maxEnergyMeV = maxEnergyFromPracticalRange(table, practicalRangeCm);
    if (!maxEnergyMeV) return std::nullopt;
    return textValue(formatNumber(*maxEnergyMeV, "#0.0"));
}

}  // namespace beamdata
