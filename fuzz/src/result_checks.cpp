#include "fuzz/result_checks.h"

#include "engine/kernel_grid.h"
#include "engine/record_io.h"

#include <cmath>
#include <optional>
#include <vector>

namespace fuzz {

namespace {

constexpr std::size_t HEADER_LENGTH = 51;  // "(F6.2,' MeV ',2A20)"
constexpr std::size_t COUNT_LENGTH = 11;   // "(F11.0)"
constexpr std::size_t RESULT_LINES = 2 + engine::KernelGrid::DEPTH_BINS;
constexpr int FIRST_LABEL = -14;

// The records of a CR LF file; nullopt when text follows the last line end.
std::optional<std::vector<std::string>> records(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start != text.size()) return std::nullopt;
    return lines;
}

// The value of a numeric output field, read back as the simulators read; nullopt for asterisks or
// anything else that is no number.
std::optional<float> fieldValue(const std::string& field, int digits) {
    if (field.find('*') != std::string::npos) return std::nullopt;
    float value = 0.0f;
    if (!engine::parseRealField(field, digits, value) || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string lineFault(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line + 1) + ": " + what;
}

// The two header records shared by the kernel and depth-dose files.
std::string headerFault(const std::vector<std::string>& lines) {
    if (lines.size() != RESULT_LINES) return std::to_string(lines.size()) + " lines instead of 127";
    if (lines[0].size() != HEADER_LENGTH) return lineFault(0, "not 51 characters");
    const auto energy = fieldValue(lines[0].substr(0, 6), 2);
    if (!energy || !(*energy > 0.0f)) return lineFault(0, "no positive maximum energy in \"F6.2\"");
    if (lines[0].substr(6, 5) != " MeV ") return lineFault(0, "no \" MeV \" after the energy");
    if (lines[1].size() != COUNT_LENGTH) return lineFault(1, "not 11 characters");
    const auto count = fieldValue(lines[1], 0);
    if (!count || !(*count >= 1.0f)) return lineFault(1, "no history count in \"F11.0\"");
    return {};
}

std::string labelFault(const std::string& row, std::size_t line) {
    const auto label = fieldValue(row.substr(0, 5), 0);
    const int expected = FIRST_LABEL + static_cast<int>(line) - 2;
    if (!label || *label != static_cast<float>(expected))
        return lineFault(line, "label is not " + std::to_string(expected));
    return {};
}

}  // namespace

std::string kernelResultFault(const std::string& text) {
    const auto lines = records(text);
    if (!lines) return "text after the last line end";
    if (std::string fault = headerFault(*lines); !fault.empty()) return fault;
    constexpr std::size_t ROW_LENGTH = 5 + 10 * engine::KernelGrid::RADIAL_BINS;
    for (std::size_t line = 2; line < lines->size(); ++line) {
        const std::string& row = (*lines)[line];
        if (row.size() != ROW_LENGTH) return lineFault(line, "not 755 characters");
        if (std::string fault = labelFault(row, line); !fault.empty()) return fault;
        for (std::size_t ring = 0; ring < static_cast<std::size_t>(engine::KernelGrid::RADIAL_BINS); ++ring) {
            const std::string field = row.substr(5 + 10 * ring, 10);
            const auto cell = fieldValue(field, 3);
            if (!cell) return lineFault(line, "ring " + std::to_string(ring + 1) + " holds \"" + field + "\"");
            if (*cell < 0.0f) return lineFault(line, "ring " + std::to_string(ring + 1) + " is negative: " + field);
        }
    }
    return {};
}

std::string depthDoseResultFault(const std::string& text) {
    const auto lines = records(text);
    if (!lines) return "text after the last line end";
    if (std::string fault = headerFault(*lines); !fault.empty()) return fault;
    float largest = 0.0f;
    for (std::size_t line = 2; line < lines->size(); ++line) {
        const std::string& row = (*lines)[line];
        if (row.size() != 15) return lineFault(line, "not 15 characters");
        if (std::string fault = labelFault(row, line); !fault.empty()) return fault;
        const auto dose = fieldValue(row.substr(5), 3);
        if (!dose || *dose < 0.0f || *dose > 1.0f)
            return lineFault(line, "dose \"" + row.substr(5) + "\" not within 0 to 1");
        largest = std::max(largest, *dose);
    }
    if (largest != 1.0f && largest != 0.0f) return "the largest dose is not 1";
    return {};
}

std::string fluenceFileFault(const std::string& text) {
    const auto lines = records(text);
    if (!lines) return "text after the last line end";
    if (lines->size() != 102) return std::to_string(lines->size()) + " lines instead of 102";
    if ((*lines)[0].size() != static_cast<std::size_t>(engine::CHARACTER_LENGTH))
        return lineFault(0, "not 30 characters");
    if ((*lines)[1] != " [MeV] ,  Fluence") return lineFault(1, "not the heading");
    double weightSum = 0.0;
    for (std::size_t line = 2; line < lines->size(); ++line) {
        const std::string& row = (*lines)[line];
        if (row.size() != 22 || row.substr(10, 2) != ", ") return lineFault(line, "not \"(E10.4,', ',E10.4)\"");
        const auto energy = fieldValue(row.substr(0, 10), 4);
        const auto weight = fieldValue(row.substr(12), 4);
        if (!energy || !weight || *weight < 0.0f || *weight > 1.0f) return lineFault(line, "holds \"" + row + "\"");
        weightSum += static_cast<double>(*weight);
    }
    if (std::fabs(weightSum - 1.0) > 0.01) return "the weights add up to " + std::to_string(weightSum);
    return {};
}

}  // namespace fuzz
