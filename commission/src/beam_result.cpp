#include "commission/beam_result.h"

#include <cmath>
#include <cstdio>

namespace commission {

Tolerances defaultTolerances() { return {{"R90", 0.5}, {"R80", 0.5}, {"R50", 0.5}, {"R10", 1.0}}; }

bool BeamResult::pass() const {
    if (!fitted) return false;
    for (const LevelResult& level : levels)
        if (!level.pass) return false;
    if (confirmHistories)
        for (const ConfirmLevel& level : confirmLevels)
            if (!level.pass) return false;
    return true;
}

double BeamResult::worstDifferenceMm() const {
    double worst = std::nan("");
    for (const LevelResult& level : levels)
        if (level.differenceMm && !(std::fabs(*level.differenceMm) <= worst)) worst = std::fabs(*level.differenceMm);
    return worst;
}

std::string utf8Text(const std::string& bytes) {
    std::string text;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        if (valid) {
            text.append(bytes, i, length);
            i += length;
        } else {  // a byte of another code page: taken as Latin-1
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    return text;
}

namespace {

Json number(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return nullptr;
    return *value;
}

// A difference of two printed depths, to the printed precision, so that JSON and CSV agree.
double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

Json levelsJson(const BeamResult& beam) {
    Json levels = Json::object();
    for (std::size_t k = 0; k < LEVEL_NAMES.size(); ++k) {
        const LevelResult& l = beam.levels[k];
        levels[LEVEL_NAMES[k]] = {{"measured", number(l.measuredMm)},
                                  {"model", number(l.modelMm)},
                                  {"difference", number(l.differenceMm)},
                                  {"pass", l.pass}};
    }
    return levels;
}

Json fitJson(const BeamResult& beam) {
    Json fit = {{"model", beam.model}};
    for (const char* key : {"rms", "emax", "mean", "peak", "background", "smooth"}) {
        const auto it = beam.fitFigures.find(key);
        fit[key] = it == beam.fitFigures.end() ? Json(nullptr) : number(it->second);
    }
    fit["levels"] = levelsJson(beam);
    if (!beam.intervals.empty()) {
        Json intervals = Json::object();
        for (const auto& [quantity, range] : beam.intervals) intervals[quantity] = {range.first, range.second};
        fit["interval"] = intervals;
    }
    fit["spectrum"] = {{"energy_MeV", beam.spectrumEnergyMeV}, {"weight", beam.spectrumWeight}};
    return fit;
}

Json confirmJson(const BeamResult& beam) {
    Json levels = Json::object();
    for (std::size_t k = 0; k < LEVEL_NAMES.size(); ++k) {
        const ConfirmLevel& l = beam.confirmLevels[k];
        levels[LEVEL_NAMES[k]] = {{"calculated", number(l.calculatedMm)},
                                  {"difference", number(l.differenceMm)},
                                  {"sd", number(l.sdMm)},
                                  {"pass", l.pass}};
    }
    return {{"histories", *beam.confirmHistories}, {"levels", levels}};
}

Json fieldJson(const beamdata::ScanInfo& info) {
    if (!info.fieldInplaneMm || !info.fieldCrossplaneMm) return nullptr;
    return Json::array({*info.fieldInplaneMm, *info.fieldCrossplaneMm});
}

std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string csvNumber(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return "";
    // The shortest text that reads back as the same number, as the JSON holds it.
    return Json(*value).dump();
}

}  // namespace

Json beamJson(const BeamResult& beam) {
    const BeamEntry& e = beam.entry;
    Json j = {{"label", utf8Text(e.label)},
              {"file", utf8Text(e.file.string())},
              {"scan", e.scan},
              {"energy_MeV", number(e.info.energyMeV)},
              {"field_mm", fieldJson(e.info)},
              {"ssd_mm", number(e.info.ssdMm)},
              {"detector", e.info.detector.empty() ? Json(nullptr) : Json(utf8Text(e.info.detector))},
              {"quantity", beam.quantity},
              {"status", beam.fitted ? "fitted" : "skipped"}};
    if (!beam.fitted) {
        j["reason"] = utf8Text(beam.reason);
        return j;
    }
    Json quality = Json::object();
    for (const auto& [name, value] : beam.quality) quality[name] = number(value);
    j["quality"] = quality;
    j["fit"] = fitJson(beam);
    if (beam.confirmHistories) j["confirm"] = confirmJson(beam);
    if (beam.kernelHistories) j["kernel"] = {{"histories", *beam.kernelHistories}, {"file", utf8Text(beam.kernelFile)}};
    return j;
}

Json commissioningJson(const RunInfo& run, const std::vector<BeamResult>& beams) {
    Json tolerance = Json::object();
    for (const char* name : LEVEL_NAMES) tolerance[name] = run.tolerance.at(name);
    Json list = Json::array();
    for (const BeamResult& beam : beams) list.push_back(beamJson(beam));
    return {{"program", "orvalis-commission"}, {"version", run.version},    {"created", run.created},
            {"title", utf8Text(run.title)},    {"tolerance_mm", tolerance}, {"beams", list}};
}

std::string commissioningCsv(const std::vector<BeamResult>& beams) {
    std::string csv = "label,file,scan,energy_MeV,quantity,status,reason";
    const std::vector<std::string> quality = {"R100", "R90", "R80", "R50", "Rp",  "Rq",
                                              "G",    "Ds",  "Dx",  "E0",  "Ep0", "zref"};
    for (const std::string& q : quality) csv += "," + q;
    csv += ",rms,emax,mean,peak,background,smooth";
    for (const char* level : LEVEL_NAMES)
        csv += std::string(",") + level + "_measured," + level + "_model," + level + "_difference," + level + "_pass";
    for (const char* level : LEVEL_NAMES) csv += std::string(",") + level + "_confirm";
    csv += ",pass\n";
    for (const BeamResult& beam : beams) {
        const BeamEntry& e = beam.entry;
        csv += csvCell(utf8Text(e.label)) + "," + csvCell(utf8Text(e.file.string())) + "," + std::to_string(e.scan) +
               "," + csvNumber(e.info.energyMeV) + "," + beam.quantity + "," + (beam.fitted ? "fitted" : "skipped") +
               "," + csvCell(beam.fitted ? "" : utf8Text(beam.reason));
        for (const std::string& q : quality) {
            std::optional<double> value;
            for (const auto& [name, v] : beam.quality)
                if (name == q) value = v;
            csv += "," + csvNumber(value);
        }
        for (const char* key : {"rms", "emax", "mean", "peak", "background", "smooth"}) {
            const auto it = beam.fitFigures.find(key);
            csv += "," + (it == beam.fitFigures.end() ? std::string() : csvNumber(it->second));
        }
        for (const LevelResult& l : beam.levels)
            csv += "," + csvNumber(l.measuredMm) + "," + csvNumber(l.modelMm) + "," + csvNumber(l.differenceMm) + "," +
                   (beam.fitted ? (l.pass ? "pass" : "fail") : "");
        for (const ConfirmLevel& l : beam.confirmLevels) csv += "," + csvNumber(l.calculatedMm);
        csv += std::string(",") + (beam.fitted ? (beam.pass() ? "pass" : "fail") : "") + "\n";
    }
    return csv;
}

double differenceMm(double a, double b) { return rounded(a - b, 3); }

}  // namespace commission
