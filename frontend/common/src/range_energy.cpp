#include "common/range_energy.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "common/file_error.h"
#include "common/text_value.h"

namespace orvalis {
namespace {

constexpr int HEADING_LINES = 2;

bool isSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

void readCsdaTable(const std::filesystem::path& file, Module1& data) {
    const std::string name = file.filename().string();
    std::ifstream in(file, std::ios::binary);
    if (!in) throw FileError("Cannot open the range table " + name);
    std::string line;
    int lineNumber = 0;
    for (int i = 0; i < HEADING_LINES; ++i) {
        if (!std::getline(in, line)) {
            throw FileError("The range table " + name + " ends within its two heading lines");
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
                throw FileError("The range table " + name + " has \"" + field + "\" where a number belongs (line " +
                                std::to_string(lineNumber) + ")");
            }
            numbers.push_back(textValue(field));
        }
    }
    if (numbers.size() < wanted) {
        throw FileError("The range table " + name + " holds " + std::to_string(numbers.size()) + " of its " +
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
            throw FileError("The range table " + name +
                            " is not a table of positive, ascending energies and ranges (row " +
                            std::to_string(row + 1) + ")");
        }
    }
    for (std::size_t row = 1; row <= CSDA_ROW_COUNT; ++row) {
        data.CsdaEnergy[row] = numbers[2 * (row - 1)];
        data.CsdaRange[row] = numbers[2 * (row - 1) + 1];
    }
}

std::optional<double> maxEnergyFromRange(double practicalRangeCm, const Module1& data) {
    std::size_t i = 2;
    while (practicalRangeCm > data.CsdaRange[i]) {
        ++i;
        if (i > CSDA_ROW_COUNT) return std::nullopt;
    }
    const double e0 = data.CsdaEnergy[i - 1];
    const double r0 = data.CsdaRange[i - 1];
    const double rangeStep = data.CsdaRange[i] - r0;
    if (rangeStep == 0.0) return std::nullopt;
    const double energyMeV = e0 + (practicalRangeCm - r0) * (data.CsdaEnergy[i] - e0) / rangeStep;
    const double maxEnergyMeV = energyMeV * MAX_ENERGY_PER_RANGE_ENERGY;
    if (!std::isfinite(maxEnergyMeV)) return std::nullopt;
    return maxEnergyMeV;
}

}  // namespace orvalis
