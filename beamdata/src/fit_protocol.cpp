#include "beamdata/fit_protocol.h"

#include "beamdata/text_value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <utility>

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

std::string weightList(const FreeSpectrumWeights& relativeWeight) {
    std::string weights;
    for (const double weight : relativeWeight) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4g", weight);
        if (!weights.empty()) weights.append(1, ',');
        weights.append(text);
    }
    return weights;
}

// 100 finite non-negative weights separated by commas.
std::optional<FreeSpectrumWeights> parseWeightList(const std::string& text) {
    FreeSpectrumWeights weights{};
    std::istringstream list(text);
    std::size_t bin = 0;
    for (std::string item; std::getline(list, item, ',');) {
        const auto weight = finiteNumber(item);
        if (!weight || *weight < 0.0 || bin == weights.size()) return std::nullopt;
        weights[bin++] = *weight;
    }
    if (bin != weights.size()) return std::nullopt;
    return weights;
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
    fields.push_back({std::move(key), printfNumber(printfFormat, value)});
}

std::optional<double> ResultRecord::number(std::string_view key) const {
    for (const Field& field : fields)
        if (field.key == key) return finiteNumber(field.value);
    return std::nullopt;
}

void ResultRecord::addText(std::string key, std::string_view text) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string value;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == '%' || byte == 0x7F) {
            value += '%';
            value += HEX[byte >> 4];
            value += HEX[byte & 0x0F];
        } else {
            value += c;
        }
    }
    fields.push_back({std::move(key), value});
}

std::optional<std::string> ResultRecord::text(std::string_view key) const {
    const auto hexDigit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (const Field& field : fields) {
        if (field.key != key) continue;
        std::string decoded;
        for (std::size_t i = 0; i < field.value.size(); ++i) {
            if (field.value[i] != '%') {
                decoded += field.value[i];
                continue;
            }
            const int high = i + 2 < field.value.size() ? hexDigit(field.value[i + 1]) : -1;
            const int low = high >= 0 ? hexDigit(field.value[i + 2]) : -1;
            if (low < 0) return std::nullopt;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        }
        return decoded;
    }
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
        const auto present = [&record](std::string_view key) {
            for (const auto& field : record.fields)
                if (field.key == key) return true;
            return false;
        };
        if (!present("measured")) return std::nullopt;
        for (const std::string& key : modelKeys)
            if (!present(key)) return std::nullopt;
        return c;
    }
    return std::nullopt;
}

ResultRecord freeSummaryRecord(const FreeSummary& s) {
    ResultRecord record{FREE_KIND, {}};
    record.add("rms", s.rmsPercent, "%.4f");
    record.add("emax", s.maxEnergyMeV, "%.1f");
    record.add("mean", s.meanEnergyMeV, "%.3f");
    record.add("peak", s.peakEnergyMeV, "%.3f");
    record.add("background", s.backgroundPercent, "%.3f");
    record.add("smooth", s.smooth, "%.4e");
    if (!s.smoothBy.empty()) record.fields.push_back({"smooth-by", s.smoothBy});
    if (s.noisePercent) record.add("noise", *s.noisePercent, "%.4f");
    return record;
}

std::optional<FreeSummary> freeSummary(const ResultRecord& record) {
    if (record.kind != FREE_KIND) return std::nullopt;
    FreeSummary s;
    const std::pair<const char*, double*> keys[] = {{"rms", &s.rmsPercent},
                                                    {"emax", &s.maxEnergyMeV},
                                                    {"mean", &s.meanEnergyMeV},
                                                    {"peak", &s.peakEnergyMeV},
                                                    {"background", &s.backgroundPercent},
                                                    {"smooth", &s.smooth}};
    for (const auto& [key, target] : keys) {
        const auto value = record.number(key);
        if (!value) return std::nullopt;
        *target = *value;
    }
    for (const auto& field : record.fields)
        if (field.key == "smooth-by") s.smoothBy = field.value;
    s.noisePercent = record.number("noise");
    return s;
}

ResultRecord freeSpectrumRecord(const FreeSpectrumWeights& relativeWeight, const char* kind) {
    return ResultRecord{kind, {{"weights", weightList(relativeWeight)}}};
}

std::optional<FreeSpectrumWeights> freeSpectrum(const ResultRecord& record, std::string_view kind) {
    if (record.kind != kind || record.fields.size() != 1 || record.fields.front().key != "weights") return std::nullopt;
    return parseWeightList(record.fields.front().value);
}

ResultRecord intervalRecord(const IntervalReport& i) {
    ResultRecord record{INTERVAL_KIND, {{"quantity", i.quantity}}};
    record.add("value", i.value, "%.3f");
    record.add("low", i.low, "%.3f");
    record.add("high", i.high, "%.3f");
    record.add("level", i.level, "%.2f");
    return record;
}

std::optional<IntervalReport> intervalReport(const ResultRecord& record) {
    if (record.kind != INTERVAL_KIND || record.fields.empty() || record.fields.front().key != "quantity")
        return std::nullopt;
    IntervalReport i;
    i.quantity = record.fields.front().value;
    if (std::find(INTERVAL_QUANTITIES.begin(), INTERVAL_QUANTITIES.end(), i.quantity) == INTERVAL_QUANTITIES.end())
        return std::nullopt;
    const auto value = record.number("value");
    const auto low = record.number("low");
    const auto high = record.number("high");
    const auto level = record.number("level");
    if (!value || !low || !high || !level || *low > *high || !(*level > 0.0 && *level < 1.0)) return std::nullopt;
    i.value = *value;
    i.low = *low;
    i.high = *high;
    i.level = *level;
    return i;
}

ResultRecord spectrumBandRecord(const SpectrumBand& band) {
    return ResultRecord{SPECTRUM_BAND_KIND, {{"low", weightList(band.low)}, {"high", weightList(band.high)}}};
}

std::optional<SpectrumBand> spectrumBand(const ResultRecord& record) {
    if (record.kind != SPECTRUM_BAND_KIND || record.fields.size() != 2 || record.fields[0].key != "low" ||
        record.fields[1].key != "high")
        return std::nullopt;
    const auto low = parseWeightList(record.fields[0].value);
    const auto high = parseWeightList(record.fields[1].value);
    if (!low || !high) return std::nullopt;
    for (std::size_t j = 0; j < low->size(); ++j)
        if ((*low)[j] > (*high)[j]) return std::nullopt;
    return SpectrumBand{*low, *high};
}

ResultRecord noBackgroundRecord(std::string_view reason) {
    ResultRecord record{NO_BACKGROUND_KIND, {}};
    record.addText("reason", reason);
    return record;
}

std::optional<std::string> noBackgroundReason(const ResultRecord& record) {
    if (record.kind != NO_BACKGROUND_KIND) return std::nullopt;
    return record.text("reason");
}

std::optional<FreeFitOutput> parseFreeFitOutput(std::string_view output) {
    FreeFitOutput parsed;
    std::array<bool, RANGE_LEVELS.size()> levelFound{};
    bool summaryFound = false;
    bool spectrumFound = false;
    bool runSpectrumFound = false;
    std::istringstream lines{std::string(output)};
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto record = parseResultLine(line);
        if (!record) continue;
        if (const auto summary = freeSummary(*record)) {
            parsed.summary = *summary;
            summaryFound = true;
        } else if (const auto weights = freeSpectrum(*record)) {
            parsed.spectrum = *weights;
            spectrumFound = true;
        } else if (const auto runWeights = freeSpectrum(*record, RUN_SPECTRUM_KIND)) {
            parsed.runSpectrum = *runWeights;
            runSpectrumFound = true;
        } else if (const auto reason = noBackgroundReason(*record)) {
            parsed.noBackgroundReason = *reason;
        } else if (const auto interval = intervalReport(*record)) {
            parsed.intervals.push_back(*interval);
        } else if (const auto band = spectrumBand(*record)) {
            parsed.band = *band;
        } else if (const auto level = levelComparison(*record, {FREE_MODEL_KEY, WINDOW_KEY})) {
            parsed.levels[levelIndex(level->level)] = *level;
            levelFound[levelIndex(level->level)] = true;
        }
    }
    for (bool found : levelFound)
        if (!found) return std::nullopt;
    if (!summaryFound || !spectrumFound || !runSpectrumFound) return std::nullopt;
    return parsed;
}

}  // namespace beamdata
