#include "viewers/measured_import.h"
#include "viewers/pdd_comparison.h"

#include "engine/constants.h"
#include "engine/run_error.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace orvalis::viewers {
namespace {

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) return "";
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Vertical distance of point k from the line through points a and b, in percent of the maximum.
double departure(std::span<const double> z, std::span<const double> v, std::size_t a, std::size_t b, std::size_t k,
                 double scale) {
    const double t = (z[k] - z[a]) / (z[b] - z[a]);
    return std::fabs(v[k] - (v[a] + t * (v[b] - v[a]))) * scale;
}

}  // namespace

bool isWaterTankText(std::string_view text) { return beamdata::detectFormat(text) != beamdata::MeasuredFormat::Csv; }

bool hasWaterTankExtension(std::string_view fileName) {
    static constexpr std::array<std::string_view, 4> EXTENSIONS{".mcc", ".asc", ".txt", ".cdp"};
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string extension(fileName.substr(dot));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::find(EXTENSIONS.begin(), EXTENSIONS.end(), extension) != EXTENSIONS.end();
}

std::optional<std::string> waterTankReadError(const std::optional<std::string>& text, const std::string& fileName) {
    if (!hasWaterTankExtension(fileName)) return std::nullopt;
    if (!text) return engine::RunError(fileName, 0, "cannot be opened").what();
    try {
        beamdata::parseMeasuredText(*text, fileName);
    } catch (const engine::RunError& error) {
        return error.what();
    }
    return std::nullopt;
}

std::vector<std::string> scanChoiceRows(const beamdata::MeasuredFile& file) {
    std::vector<std::string> rows;
    for (const beamdata::DepthScan& scan : file.depthScans)
        rows.push_back(beamdata::describeScan(scan.info, true) + " (" + std::to_string(scan.depthMm.size()) +
                       " points)");
    return rows;
}

ResampledCurve resampleKeepingShape(std::span<const double> z, std::span<const double> v, std::size_t maxPoints) {
    ResampledCurve curve;
    curve.originalCount = z.size();
    if (z.size() <= maxPoints || z.size() < 3) {
        curve.depthMm.assign(z.begin(), z.end());
        curve.value.assign(v.begin(), v.end());
        return curve;
    }
    const double largest = *std::max_element(v.begin(), v.end());
    const double scale = largest > 0.0 ? 100.0 / largest : 1.0;
    std::vector<bool> kept(z.size(), false);
    kept.front() = kept.back() = true;
    kept[static_cast<std::size_t>(std::max_element(v.begin(), v.end()) - v.begin())] = true;
    std::size_t count = static_cast<std::size_t>(std::count(kept.begin(), kept.end(), true));
    for (;;) {
        double worst = 0.0;
        std::size_t worstAt = 0;
        for (std::size_t a = 0; a + 1 < z.size();) {
            std::size_t b = a + 1;
            while (!kept[b]) ++b;
            for (std::size_t k = a + 1; k < b; ++k) {
                const double d = departure(z, v, a, b, k, scale);
                if (d > worst) worst = d, worstAt = k;
            }
            a = b;
        }
        if (count == maxPoints || worstAt == 0) {
            curve.largestDeparturePercent = worst;
            break;
        }
        kept[worstAt] = true;
        ++count;
    }
    for (std::size_t k = 0; k < z.size(); ++k) {
        if (!kept[k]) continue;
        curve.depthMm.push_back(z[k]);
        curve.value.push_back(v[k]);
    }
    return curve;
}

std::string measuredNote(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                         const ResampledCurve& curve) {
    std::string note = fileName + ", curve " + std::to_string(scan) + ": " +
                       beamdata::describeScan(info, info.convertedToDose);
    if (curve.originalCount > curve.depthMm.size())
        note += "; " + std::to_string(curve.originalCount) + " points resampled onto " +
                std::to_string(curve.depthMm.size()) + " depths (shape kept within " +
                fixed(curve.largestDeparturePercent, 2) + " %)";
    return note;
}

void calculatedCurvePoints(ConstPddSpan dose, std::vector<double>& depthMm, std::vector<double>& value) {
    depthMm = {0.5};
    value = {dose[16]};
    for (int i = 17; i <= CALCULATED_RECORD_COUNT; ++i) {
        depthMm.push_back(i - engine::DEPTH_LABEL_OFFSET_MM);
        value.push_back(dose[static_cast<std::size_t>(i)]);
    }
}

namespace {

// The level whose depth a figure is, if any.
std::optional<beamdata::RangeLevel> levelOfFigure(double beamdata::BeamQuality::*value) {
    if (value == &beamdata::BeamQuality::r90Mm) return beamdata::RangeLevel::R90;
    if (value == &beamdata::BeamQuality::r80Mm) return beamdata::RangeLevel::R80;
    if (value == &beamdata::BeamQuality::r50Mm) return beamdata::RangeLevel::R50;
    return std::nullopt;
}

}  // namespace

std::vector<QualityRow> qualityRows(const std::optional<beamdata::BeamQuality>& measured,
                                    const std::optional<beamdata::BeamQuality>& calculated,
                                    const std::optional<beamdata::RangeLevels>& calculatedSigmaMm) {
    std::vector<QualityRow> rows;
    for (const beamdata::QualityFigure& figure : beamdata::QUALITY_FIGURES) {
        const int decimals = figure.value == &beamdata::BeamQuality::gradient ? 3 : 2;
        QualityRow row;
        row.figure = std::string(figure.name) + (*figure.unit ? std::string(" (") + figure.unit + ")" : "");
        const double m = measured ? (*measured).*figure.value : std::nan("");
        const double c = calculated ? (*calculated).*figure.value : std::nan("");
        row.measured = fixed(m, decimals);
        row.calculated = fixed(c, decimals);
        const auto level = levelOfFigure(figure.value);
        if (level && calculatedSigmaMm && std::isfinite(c)) {
            if (const auto& sigma = (*calculatedSigmaMm)[beamdata::levelIndex(*level)])
                row.calculated += " " + uncertaintyText(*sigma);
        }
        row.difference = fixed(m - c, decimals);
        rows.push_back(row);
    }
    return rows;
}

}  // namespace orvalis::viewers
