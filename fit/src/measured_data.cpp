#include "fit/measured_data.h"

#include "engine/record_io.h"
#include "engine/run_error.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace fit {

namespace {

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
        curve.depthMm.push_back(depth);
        curve.dose.push_back(numbers[i + 1].first);
        largest = std::max(largest, numbers[i + 1].first);
    }
    if (!(largest > 0.0)) throw engine::RunError(name, 0, "no positive dose: nothing to fit");
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

}  // namespace fit
