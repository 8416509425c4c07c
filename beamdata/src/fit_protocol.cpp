#include "beamdata/fit_protocol.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace beamdata {

namespace {

constexpr std::string_view PROGRESS_TAG = "PROGRESS";
constexpr std::string_view RESULT_TAG = "RESULT";

std::optional<double> finiteNumber(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::string progressLine(const ProgressReport& p) {
    return std::string(PROGRESS_TAG) + " " + p.stage + " " + std::to_string(p.done) + " " + std::to_string(p.total) +
           "\n";
}

std::optional<ProgressReport> parseProgressLine(std::string_view line) {
    std::istringstream fields{std::string(line)};
    std::string tag;
    ProgressReport p;
    if (!(fields >> tag >> p.stage >> p.done >> p.total) || tag != PROGRESS_TAG || p.total <= 0 || p.done < 0)
        return std::nullopt;
    return p;
}

void ResultRecord::add(std::string key, double value, const char* printfFormat) {
    char text[64];
    std::snprintf(text, sizeof text, printfFormat, value);
    fields.push_back({std::move(key), text});
}

std::optional<double> ResultRecord::number(std::string_view key) const {
    for (const Field& field : fields)
        if (field.key == key) return finiteNumber(field.value);
    return std::nullopt;
}

std::string resultLine(const ResultRecord& record) {
    std::string line = std::string(RESULT_TAG) + " " + record.kind;
    for (const auto& field : record.fields) line += " " + field.key + "=" + field.value;
    return line + "\n";
}

std::optional<ResultRecord> parseResultLine(std::string_view line) {
    std::istringstream words{std::string(line)};
    std::string tag;
    ResultRecord record;
    if (!(words >> tag >> record.kind) || tag != RESULT_TAG) return std::nullopt;
    for (std::string word; words >> word;) {
        const auto equals = word.find('=');
        if (equals == std::string::npos || equals == 0) return std::nullopt;
        record.fields.push_back({word.substr(0, equals), word.substr(equals + 1)});
    }
    return record;
}

ResultRecord betaParametersRecord(const char* kind, const BetaParameters& p) {
    ResultRecord record{kind, {}};
    record.add("alpha", p.alpha, "%.4g");
    record.add("beta", p.beta, "%.4g");
    record.add("emax", p.maxEnergyMeV, "%.4g");
    record.add("rms", p.rmsPercent, "%.4f");
    return record;
}

std::optional<BetaParameters> betaParameters(const ResultRecord& record, std::string_view kind) {
    if (record.kind != kind) return std::nullopt;
    const auto alpha = record.number("alpha");
    const auto beta = record.number("beta");
    const auto emax = record.number("emax");
    const auto rms = record.number("rms");
    if (!alpha || !beta || !emax || !rms) return std::nullopt;
    return BetaParameters{*alpha, *beta, *emax, *rms};
}

ResultRecord levelRecord(const LevelComparison& c, const std::vector<std::string>& modelKeys) {
    constexpr double NOT_FOUND = std::numeric_limits<double>::quiet_NaN();
    ResultRecord record{levelName(c.level), {}};
    record.add("measured", c.measuredMm.value_or(NOT_FOUND), "%.3f");
    for (std::size_t k = 0; k < modelKeys.size(); ++k)
        record.add(modelKeys[k], k < c.modelMm.size() ? c.modelMm[k].value_or(NOT_FOUND) : NOT_FOUND, "%.3f");
    return record;
}

std::optional<LevelComparison> levelComparison(const ResultRecord& record, const std::vector<std::string>& modelKeys) {
    for (const RangeLevel level : RANGE_LEVELS) {
        if (record.kind != levelName(level)) continue;
        LevelComparison c;
        c.level = level;
        c.measuredMm = record.number("measured");
        for (const std::string& key : modelKeys) c.modelMm.push_back(record.number(key));
        if (!c.measuredMm || modelKeys.empty() || !c.modelMm.front()) return std::nullopt;
        return c;
    }
    return std::nullopt;
}

}  // namespace beamdata
