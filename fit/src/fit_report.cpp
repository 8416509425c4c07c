#include "fit/fit_report.h"

#include "depthdose/depthdose_simulation.h"
#include "engine/record_io.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace fit {

namespace {

constexpr const char* LEVEL_NAMES[] = {"R90", "R80", "R50", "R10"};

std::string number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string depthText(double depthMm) { return std::isnan(depthMm) ? "   -   " : number("%7.2f", depthMm); }

std::string differenceText(double a, double b) {
    return (std::isnan(a) || std::isnan(b)) ? "   -   " : number("%+7.2f", a - b);
}

std::string parameterLine(const char* kind, const FitPoint& p) {
    return std::string("RESULT ") + kind + " alpha=" + number("%.4g", p.alpha) + " beta=" + number("%.4g", p.beta) +
           " emax=" + number("%.4g", p.maxEnergyMeV) + " rms=" + number("%.4f", p.rmsPercent) + "\n";
}

}  // namespace

std::string progressLine(const std::string& stage, int done, int total) {
    return "PROGRESS " + stage + " " + std::to_string(done) + " " + std::to_string(total) + "\n";
}

std::string reportText(const FitResult& r, MaxEnergyMode mode) {
    std::string text;
    text += "Fitted depths " + number("%.1f", r.fromDepthMm) + " to " + number("%.1f", r.toDepthMm) + " mm (" +
            std::to_string(r.fittedPoints) + " measured points), maximum energy " +
            (mode == MaxEnergyMode::Free ? "free" : "fixed") + ", " + std::to_string(r.evaluations) +
            " model evaluations\n";
    text += "                    alpha    beta   Emax (MeV)   rms (%)\n";
    text += "  on the 0.1 grid " + number("%7.1f", r.onGrid.alpha) + number("%8.1f", r.onGrid.beta) +
            number("%11.1f", r.onGrid.maxEnergyMeV) + number("%12.3f", r.onGrid.rmsPercent) + "\n";
    text += "  continuous      " + number("%7.3f", r.continuous.alpha) + number("%8.3f", r.continuous.beta) +
            number("%11.3f", r.continuous.maxEnergyMeV) + number("%12.3f", r.continuous.rmsPercent) + "\n";
    if (r.maxEnergyAtLimit)
        text += "Note: the maximum energy stopped at the edge of the allowed span (+-" +
                number("%.0f", 100.0 * r.maxEnergySpan) + " %); a wider --span may fit better.\n";
    text += "        measured  model(grid)  difference  model(cont.)  difference   (mm)\n";
    for (std::size_t k = 0; k < LEVELS.size(); ++k) {
        text += std::string("  ") + LEVEL_NAMES[k] + "  " + depthText(r.measured[k]) + "    " +
                depthText(r.onGrid.levels[k]) + "     " + differenceText(r.onGrid.levels[k], r.measured[k]) + "      " +
                depthText(r.continuous.levels[k]) + "     " + differenceText(r.continuous.levels[k], r.measured[k]) +
                "\n";
    }
    return text;
}

std::string resultLines(const FitResult& r) {
    std::string text = parameterLine("grid", r.onGrid) + parameterLine("continuous", r.continuous);
    for (std::size_t k = 0; k < LEVELS.size(); ++k)
        text += std::string("RESULT ") + LEVEL_NAMES[k] + " measured=" + number("%.3f", r.measured[k]) +
                " grid=" + number("%.3f", r.onGrid.levels[k]) +
                " continuous=" + number("%.3f", r.continuous.levels[k]) + "\n";
    return text;
}

std::optional<ResultParameters> parseResultLine(const std::string& line, const std::string& kind) {
    const std::string prefix = "RESULT " + kind + " ";
    if (line.rfind(prefix, 0) != 0) return std::nullopt;
    ResultParameters p;
    int found = 0;
    std::istringstream fields(line.substr(prefix.size()));
    std::string field;
    while (fields >> field) {
        const auto equals = field.find('=');
        if (equals == std::string::npos) return std::nullopt;
        const std::string key = field.substr(0, equals);
        char* end = nullptr;
        const std::string valueText = field.substr(equals + 1);
        const double value = std::strtod(valueText.c_str(), &end);
        if (end == valueText.c_str() || *end != '\0' || !std::isfinite(value)) return std::nullopt;
        if (key == "alpha")
            p.alpha = value, found |= 1;
        else if (key == "beta")
            p.beta = value, found |= 2;
        else if (key == "emax")
            p.maxEnergyMeV = value, found |= 4;
        else if (key == "rms")
            p.rmsPercent = value, found |= 8;
    }
    if (found != 15) return std::nullopt;
    return p;
}

std::string fittedCurveFileText(const FitPoint& point, double basisHistories) {
    engine::RunFile run;
    run.maxEnergyMeV = static_cast<float>(point.maxEnergyMeV);
    run.historyCount = static_cast<float>(basisHistories);
    engine::Spectrum spectrum;
    spectrum.titleLine1 = engine::toCharacterVariable("fit alpha=" + number("%.1f", point.alpha));
    spectrum.titleLine2 = engine::toCharacterVariable("beta=" + number("%.1f", point.beta));
    depthdose::AxisDose dose{};
    for (std::size_t slab = 0; slab < dose.size(); ++slab) dose[slab] = static_cast<float>(point.relative[slab]);
    return depthdose::depthDoseFileText(run, spectrum, dose);
}

}  // namespace fit
