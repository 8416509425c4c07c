#include "tools/quality_report.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "beamdata/depth_dose_file.h"
#include "beamdata/range_levels.h"
#include "beamdata/reading_options.h"
#include "engine/run_error.h"

namespace tools {
namespace {

std::string number(const std::optional<double>& value) {
    if (!value) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%g", *value);
    return text;
}

std::string field(const beamdata::ScanInfo& info) {
    if (!info.fieldInplaneMm || !info.fieldCrossplaneMm) return "-";
    return number(info.fieldInplaneMm) + "x" + number(info.fieldCrossplaneMm);
}

// One token for the machine line: blanks become underscores.
std::string token(const std::string& text) {
    if (text.empty()) return "-";
    std::string t = text;
    for (char& c : t)
        if (c == ' ' || c == '\t') c = '_';
    return t;
}

std::string quantity(const beamdata::ScanInfo& info) {
    return info.quantity == beamdata::Quantity::Ionisation ? "ionisation" : "dose";
}

std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

bool isDepthDoseResult(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".pdd";
}

// A simulator's depth-dose result as one dose curve: the records in the water at their label
// depths (the comparison window's axis), with " sR90=... sR10=" from its uncertainty file beside
// it when there is one.
struct ResultCurve {
    beamdata::DepthScan dose;
    std::string uncertaintyFields;
};

ResultCurve readResultCurve(const std::string& path) {
    const beamdata::DepthDoseRecords records = beamdata::readDepthDoseFile(path);
    ResultCurve curve;
    curve.dose.info.quantity = beamdata::Quantity::Dose;
    for (std::size_t i = 0; i < records.dose.size(); ++i) {
        if (records.labelMm[i] < 1.0) continue;
        curve.dose.depthMm.push_back(records.labelMm[i]);
        curve.dose.value.push_back(records.dose[i]);
    }
    const auto sd = beamdata::readUncertaintyBeside(path);
    if (!sd) return curve;
    const beamdata::RangeLevels sigmas = beamdata::resultCurveLevelUncertainties(records.dose, sd->dose);
    for (const beamdata::RangeLevel level : beamdata::RANGE_LEVELS) {
        const auto& sigma = sigmas[beamdata::levelIndex(level)];
        curve.uncertaintyFields += std::string(" s") + beamdata::levelName(level) + "=" +
                                   fixed(sigma.value_or(std::numeric_limits<double>::quiet_NaN()), 2);
    }
    return curve;
}

}  // namespace

std::string qualityUsage() {
    return "usage: orvalis-quality [--csv] [--ionisation | --dose] [--depth-unit mm|cm] [--scan N] FILE...\n"
           "  FILE: measured depth curves (.csv, PTW .mcc, RFA300 .asc/.txt, w2CAD .asc/.cdp); every depth\n"
           "  curve of every file is analysed. Chamber curves are converted to dose first; --ionisation or\n"
           "  --dose overrides what the files say. --depth-unit cm reads the depths as cm. --csv prints one\n"
           "  table over all files. A Tolvane depth-dose result (.pdd) is read too; with its .sd beside it the\n"
           "  QUALITY line ends in sR90= sR80= sR50= sR10= (the standard uncertainty of each depth in mm).\n";
}

QualityOptions parseQualityArguments(const std::vector<std::string>& arguments) {
    QualityOptions o;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--csv") {
            o.csv = true;
        } else if (beamdata::takeReadingOption(
                       a, [&] { return i + 1 < arguments.size() ? arguments[++i] : std::string(); }, o.quantity,
                       o.depthUnit)) {
        } else if (a == "--scan") {
            const std::string value = i + 1 < arguments.size() ? arguments[++i] : std::string();
            char* end = nullptr;
            const long scan = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || scan < 1 || scan > 1000000)
                throw std::invalid_argument("--scan needs the number of a depth curve, from 1");
            o.scan = static_cast<int>(scan);
        } else if (!a.empty() && a[0] == '-') {
            throw std::invalid_argument("unknown option " + a);
        } else {
            o.files.push_back(a);
        }
    }
    if (o.files.empty()) throw std::invalid_argument("no measured file given");
    return o;
}

std::string readableQualityLine(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                                const beamdata::BeamQuality& q) {
    const beamdata::BeamQuality& s = q;
    std::string line = fileName + ", depth curve " + std::to_string(scan) + " (" + beamdata::describeScan(info, true) +
                       "): R50 " + fixed(s.r50Mm, 2) + " mm, Rp " + fixed(s.rpMm, 2) + " mm, d_max " +
                       fixed(s.r100Mm, 1) + " mm, E0 " + fixed(beamdata::meanEnergyMeV(s.r50Mm), 2) + " MeV, Ep,0 " +
                       fixed(beamdata::mostProbableEnergyMeV(s.rpMm), 2) + " MeV, z_ref " +
                       fixed(beamdata::referenceDepthMm(s.r50Mm), 1) + " mm";
    if (!beamdata::isElectronBeam(info)) line += " (a photon beam: the electron relations do not apply)";
    return line;
}

std::string qualityMachineLine(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                               const beamdata::BeamQuality& quality) {
    return "QUALITY file=" + token(fileName) + " scan=" + std::to_string(scan) + " energy=" + number(info.energyMeV) +
           " field=" + field(info) + " detector=" + token(info.detector) + " quantity=" + quantity(info) + " " +
           beamdata::qualityFields(quality);
}

std::string qualityCsvHeading() {
    std::string heading = "file,scan,energy_MeV,field_mm,detector,quantity";
    for (const beamdata::QualityFigure& figure : beamdata::QUALITY_FIGURES) {
        heading += ',';
        heading += figure.name;
        if (*figure.unit) heading.append("_").append(figure.unit);
    }
    return heading;
}

std::string qualityCsvRow(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                          const beamdata::BeamQuality& quality) {
    std::string row = csvCell(fileName) + "," + std::to_string(scan) + "," + number(info.energyMeV) + "," +
                      field(info) + "," + csvCell(info.detector.empty() ? "-" : info.detector) + "," + quantity(info);
    // The same numbers as the machine line: its fields after the names.
    const std::string fields = beamdata::qualityFields(quality);
    std::size_t pos = 0;
    while ((pos = fields.find('=', pos)) != std::string::npos) {
        const std::size_t end = fields.find(' ', pos);
        row += ',';
        row += fields.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
        pos = end == std::string::npos ? fields.size() : end;
    }
    return row;
}

namespace {

// The figures of one curve, or engine::RunError naming the file (and the curve of several) when the
// curve is refused or never falls to half its maximum: without R50 there is no energy and no
// reference depth, and a line of "-" is no answer.
beamdata::BeamQuality curveQuality(const beamdata::MeasuredFile& file, std::size_t k, const QualityOptions& options,
                                   beamdata::DepthScan& dose) {
    beamdata::DepthScan raw = file.depthScans[k];
    beamdata::applyDepthUnit(raw, options.depthUnit);
    const std::optional<int> label = file.depthScans.size() > 1 ? std::optional<int>(static_cast<int>(k + 1))
                                                                : std::nullopt;
    if (const auto refusal = beamdata::curveRefusal(raw.depthMm, raw.value, options.depthUnit))
        throw engine::RunError(
            beamdata::refusalMessage(file.fileName, label, *refusal, "give --depth-unit cm if they are"));
    dose = beamdata::depthDoseOf(raw, options.quantity, file.fileName);
    const beamdata::BeamQuality quality = beamdata::beamQuality(dose.depthMm, dose.value);
    if (!std::isfinite(quality.r50Mm))
        throw engine::RunError(file.fileName + (label ? ", depth curve " + std::to_string(*label) : std::string()) +
                               ": no R50 in this curve: it never falls to half of its maximum");
    return quality;
}

}  // namespace

int runQuality(const QualityOptions& options, std::ostream& out, std::ostream& errors) {
    int status = 0;
    if (options.csv) out << qualityCsvHeading() << "\n";
    const auto report = [&](const engine::RunError& e) {
        out << std::flush;
        errors << "orvalis-quality: " << e.what() << "\n";
        status = 1;
    };
    for (const std::string& path : options.files) {
        try {
            if (isDepthDoseResult(path)) {
                const ResultCurve curve = readResultCurve(path);
                const std::string name = std::filesystem::path(path).filename().string();
                const beamdata::BeamQuality quality = beamdata::beamQuality(curve.dose.depthMm, curve.dose.value);
                if (options.csv) {
                    out << qualityCsvRow(name, 1, curve.dose.info, quality) << "\n";
                } else {
                    out << readableQualityLine(name, 1, curve.dose.info, quality) << "\n"
                        << qualityMachineLine(name, 1, curve.dose.info, quality) << curve.uncertaintyFields << "\n";
                }
                continue;
            }
            const beamdata::MeasuredFile file = beamdata::readMeasuredFile(path, options.limits);
            if (options.scan && static_cast<std::size_t>(*options.scan) > file.depthScans.size())
                throw engine::RunError(file.fileName + ": no depth curve " + std::to_string(*options.scan) +
                                       " (the file holds " + std::to_string(file.depthScans.size()) + ")");
            for (std::size_t k = 0; k < file.depthScans.size(); ++k) {
                const int scan = static_cast<int>(k + 1);
                if (options.scan && scan != *options.scan) continue;
                beamdata::DepthScan dose;
                beamdata::BeamQuality quality;
                try {
                    quality = curveQuality(file, k, options, dose);
                } catch (const engine::RunError& e) {
                    report(e);
                    continue;
                }
                if (options.csv) {
                    out << qualityCsvRow(file.fileName, scan, dose.info, quality) << "\n";
                } else {
                    out << readableQualityLine(file.fileName, scan, dose.info, quality) << "\n"
                        << qualityMachineLine(file.fileName, scan, dose.info, quality) << "\n";
                }
            }
        } catch (const engine::RunError& e) {
            report(e);
        }
    }
    return status;
}

}  // namespace tools
