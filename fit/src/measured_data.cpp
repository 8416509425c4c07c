#include "fit/measured_data.h"

#include "engine/record_io.h"
#include "engine/run_error.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fit {

namespace {

constexpr double MAX_ENERGY_PER_RANGE_ENERGY = 1.06;
constexpr double TENTHS_PER_MEV = 10.0;
// No water phantom is ten metres deep: a depth beyond it is a damaged file, not a measurement.
constexpr double DEPTH_LIMIT_MM = 10000.0;

// The fields of one line: separated by commas, blanks, tabs or semicolons.
std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::string current;
    for (char c : line) {
        if (c == ',' || c == ' ' || c == '\t' || c == ';' || c == '\r') {
            if (!current.empty()) fields.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) fields.push_back(current);
    return fields;
}

bool toNumber(const std::string& field, double& value) {
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return end != field.c_str() && *end == '\0' && std::isfinite(value);
}

// All numbers after `headerLines` lines, each with the line it came from.
std::vector<std::pair<double, int>> numbersAfterHeader(engine::LineReader& reader, int headerLines) {
    std::string line;
    for (int i = 0; i < headerLines; ++i)
        if (!reader.tryNextRecord(line)) reader.fail("the file ends within its heading");
    std::vector<std::pair<double, int>> numbers;
    while (reader.tryNextRecord(line)) {
        for (const std::string& field : fieldsOf(line)) {
            double value = 0.0;
            if (!toNumber(field, value)) reader.fail("expected a number, found \"" + field + "\"");
            numbers.emplace_back(value, reader.lineNumber());
        }
    }
    return numbers;
}

}  // namespace

MeasuredCurve readMeasuredCurve(const std::filesystem::path& path) {
    engine::LineReader reader(path);
    const auto numbers = numbersAfterHeader(reader, 1);
    const std::string name = path.filename().string();
    if (numbers.size() % 2 != 0)
        throw engine::RunError(name, numbers.back().second, "a depth without its dose at the end of the file");
    MeasuredCurve curve;
    double largest = 0.0;
    for (std::size_t i = 0; i < numbers.size(); i += 2) {
        const double depth = numbers[i].first;
        if (!curve.depthMm.empty() && !(depth > curve.depthMm.back()))
            throw engine::RunError(name, numbers[i].second, "the depths must increase from record to record");
        if (!(std::fabs(depth) <= DEPTH_LIMIT_MM))
            throw engine::RunError(name, numbers[i].second, "a depth beyond 10 m is no measured depth in mm");
        curve.depthMm.push_back(depth);
        curve.dose.push_back(numbers[i + 1].first);
        largest = std::max(largest, numbers[i + 1].first);
    }
    if (!(largest > 0.0)) throw engine::RunError(name, 0, "no positive dose: nothing to fit");
    // Noise may leave a small negative dose in the tail; one below minus the maximum is no dose.
    for (std::size_t i = 0; i < curve.dose.size(); ++i)
        if (curve.dose[i] < -largest)
            throw engine::RunError(name, numbers[2 * i + 1].second,
                                   "a dose below minus the largest dose is no measured dose");
    return curve;
}

std::optional<double> practicalRangeMm(const MeasuredCurve& curve) {
    const auto peak = std::max_element(curve.dose.begin(), curve.dose.end());
    const auto first = static_cast<std::size_t>(peak - curve.dose.begin()) + 1;
    double steepest = 0.0;
    std::optional<double> range;
    for (std::size_t i = first; i + 1 < curve.dose.size(); ++i) {
        const double slope = (curve.dose[i - 1] - curve.dose[i + 1]) / (curve.depthMm[i + 1] - curve.depthMm[i - 1]);
        if (slope > steepest) {
            steepest = slope;
            range = curve.depthMm[i] + curve.dose[i] / slope;
        }
    }
    return range;
}

CsdaTable readCsdaTable(const std::filesystem::path& path) {
    engine::LineReader reader(path);
    const auto numbers = numbersAfterHeader(reader, 2);
    const std::string name = path.filename().string();
    if (numbers.size() < 4 || numbers.size() % 2 != 0)
        throw engine::RunError(name, 0, "expected pairs of energy (MeV) and CSDA range (cm), at least two");
    CsdaTable table;
    for (std::size_t i = 0; i < numbers.size(); i += 2) {
        const double energy = numbers[i].first;
        const double range = numbers[i + 1].first;
        if (!(energy > 0.0 && range > 0.0))
            throw engine::RunError(name, numbers[i].second, "energies and ranges must be positive");
        if (!table.rangeCm.empty() && !(energy > table.energyMeV.back()))
            throw engine::RunError(name, numbers[i].second, "the energies must increase from row to row");
        if (!table.rangeCm.empty() && !(range > table.rangeCm.back()))
            throw engine::RunError(name, numbers[i].second, "the ranges must increase from row to row");
        table.energyMeV.push_back(energy);
        table.rangeCm.push_back(range);
    }
    return table;
}

std::optional<double> maxEnergyFromPracticalRange(const CsdaTable& table, double practicalRangeCm) {
    if (table.rangeCm.size() < 2) return std::nullopt;
    std::size_t i = 1;
    while (practicalRangeCm > table.rangeCm[i]) {
        if (++i == table.rangeCm.size()) return std::nullopt;
    }
    const double energy = table.energyMeV[i - 1] + (practicalRangeCm - table.rangeCm[i - 1]) *
                                                       (table.energyMeV[i] - table.energyMeV[i - 1]) /
                                                       (table.rangeCm[i] - table.rangeCm[i - 1]);
    const double maxEnergy = energy * MAX_ENERGY_PER_RANGE_ENERGY;
    if (!std::isfinite(maxEnergy)) return std::nullopt;
    // The box shows one decimal, rounded half-way away from zero; that is the value the run uses.
    return std::round(maxEnergy * TENTHS_PER_MEV) / TENTHS_PER_MEV;
}

}  // namespace fit
