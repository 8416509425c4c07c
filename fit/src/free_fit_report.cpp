#include "fit/free_fit_report.h"

#include "depthdose/depthdose_simulation.h"
#include "engine/record_io.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace fit {

namespace {

constexpr const char* LEVEL_NAMES[] = {"R90", "R80", "R50", "R10"};
constexpr int WEIGHTS_PER_ROW = 5;

std::string number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string depthText(double depthMm) { return std::isnan(depthMm) ? "    -   " : number("%8.2f", depthMm); }

std::string differenceText(double a, double b) {
    return (std::isnan(a) || std::isnan(b)) ? "    -   " : number("%+8.2f", a - b);
}

// "key=value" fields after a prefix; false when a field is malformed.
template <typename Take>
bool readFields(const std::string& text, Take take) {
    std::istringstream fields(text);
    std::string field;
    while (fields >> field) {
        const auto equals = field.find('=');
        if (equals == std::string::npos) return false;
        const std::string valueText = field.substr(equals + 1);
        char* end = nullptr;
        const double value = std::strtod(valueText.c_str(), &end);
        if (end == valueText.c_str() || *end != '\0') return false;
        take(field.substr(0, equals), value);
    }
    return true;
}

std::string spectrumTable(const FreeFitResult& r) {
    std::size_t first = engine::SPECTRUM_BINS;
    std::size_t last = 0;
    for (std::size_t j = 0; j < engine::SPECTRUM_BINS; ++j)
        if (r.relativeWeight[j] > 0.0) {
            first = std::min(first, j);
            last = j;
        }
    if (first > last) return "";
    std::string text = "Spectrum, relative weight per bin (MeV weight), bins " + std::to_string(first + 1) + " to " +
                       std::to_string(last + 1) + ":\n";
    int inRow = 0;
    for (std::size_t j = first; j <= last; ++j) {
        text += number("  %6.2f", static_cast<double>(r.spectrum.binEnergyKeV[j]) / 1000.0) +
                number(" %5.3f", r.relativeWeight[j]);
        if (++inRow == WEIGHTS_PER_ROW || j == last) {
            text += "\n";
            inRow = 0;
        }
    }
    return text;
}

}  // namespace

std::string freeReportText(const FreeFitResult& r) {
    std::string text;
    text += "Free-form spectrum: 100 bins up to " + number("%.1f", static_cast<double>(r.maxEnergyMeV)) +
            " MeV, mean energy " + number("%.2f", r.meanEnergyMeV) + " MeV, most probable " +
            number("%.2f", r.peakEnergyMeV) + " MeV\n";
    text += "Fitted depths " + number("%.1f", r.fromDepthMm) + " to " + number("%.1f", r.toDepthMm) + " mm (" +
            std::to_string(r.fittedPoints) + " measured points), smoothing " + number("%.3e", r.smooth) +
            (r.smoothChosen ? " (chosen by the discrepancy principle with the noise that cross-validation estimates, "
                            : " (given, ") +
            number("%.1f", r.effectiveParameters) + " effective parameters)\n";
    if (r.background)
        text += "Background: a straight line through the " + std::to_string(r.background->tailPoints) +
                " points beyond Rp " + number("%.1f", r.background->practicalRangeMm) + " mm, Dx " +
                number("%.2f", r.backgroundAtRpPercent) +
                " % of the maximum (not in the exchange files: the simulators follow electrons only)\n";
    else
        text += "Background: none fitted\n";
    text += "rms residual " + number("%.3f", r.rmsPercent) + " % of the maximum\n";
    text += "        measured     model  difference  window (run)  electrons of the model alone   (mm)\n";
    for (std::size_t k = 0; k < LEVELS.size(); ++k)
        text += std::string("  ") + LEVEL_NAMES[k] + "  " + depthText(r.measured[k]) + "  " + depthText(r.free[k]) +
                "  " + differenceText(r.free[k], r.measured[k]) + "      " + depthText(r.window[k]) + "      " +
                depthText(r.electronsOnly[k]) + "\n";
    text += spectrumTable(r);
    return text;
}

std::string freeResultLines(const FreeFitResult& r) {
    std::string text = "RESULT free rms=" + number("%.4f", r.rmsPercent) +
                       " emax=" + number("%.1f", static_cast<double>(r.maxEnergyMeV)) +
                       " mean=" + number("%.3f", r.meanEnergyMeV) + " peak=" + number("%.3f", r.peakEnergyMeV) +
                       " background=" + number("%.3f", r.backgroundAtRpPercent) +
                       " smooth=" + number("%.4e", r.smooth) + "\n";
    for (std::size_t k = 0; k < LEVELS.size(); ++k)
        text += std::string("RESULT ") + LEVEL_NAMES[k] + " measured=" + number("%.3f", r.measured[k]) +
                " free=" + number("%.3f", r.free[k]) + " window=" + number("%.3f", r.window[k]) + "\n";
    return text;
}

bool parseFreeSummaryLine(const std::string& line, FreeResultSummary& summary) {
    const std::string prefix = "RESULT free ";
    if (line.rfind(prefix, 0) != 0) return false;
    FreeResultSummary s = summary;
    int found = 0;
    const bool wellFormed = readFields(line.substr(prefix.size()), [&](const std::string& key, double value) {
        if (!std::isfinite(value)) return;
        const char* keys[] = {"rms", "emax", "mean", "peak", "background", "smooth"};
        double* targets[] = {&s.rmsPercent,    &s.maxEnergyMeV,      &s.meanEnergyMeV,
                             &s.peakEnergyMeV, &s.backgroundPercent, &s.smooth};
        for (int k = 0; k < 6; ++k)
            if (key == keys[k]) {
                *targets[k] = value;
                found |= 1 << k;
            }
    });
    if (!wellFormed || found != 0x3f) return false;
    summary = s;
    return true;
}

bool parseFreeLevelLine(const std::string& line, FreeResultSummary& summary) {
    for (std::size_t k = 0; k < LEVELS.size(); ++k) {
        const std::string prefix = std::string("RESULT ") + LEVEL_NAMES[k] + " ";
        if (line.rfind(prefix, 0) != 0) continue;
        FreeResultLevel level;
        int found = 0;
        const bool wellFormed = readFields(line.substr(prefix.size()), [&](const std::string& key, double value) {
            if (key == "measured") level.measuredMm = value, found |= 1;
            if (key == "free") level.freeMm = value, found |= 2;
            if (key == "window") level.windowMm = value, found |= 4;
        });
        if (!wellFormed || found != 7) return false;
        summary.levels[k] = level;
        return true;
    }
    return false;
}

std::optional<FreeResultSummary> parseFreeResult(const std::string& output) {
    FreeResultSummary summary;
    std::istringstream lines(output);
    std::string line;
    int found = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (parseFreeSummaryLine(line, summary)) found |= 1;
        for (std::size_t k = 0; k < LEVELS.size(); ++k)
            if (line.rfind(std::string("RESULT ") + LEVEL_NAMES[k] + " ", 0) == 0 && parseFreeLevelLine(line, summary))
                found |= 2 << k;
    }
    if (found != 0x1f) return std::nullopt;
    return summary;
}

std::string freeFittedCurveFileText(const FreeFitResult& r, double basisHistories) {
    engine::RunFile run;
    run.maxEnergyMeV = r.maxEnergyMeV;
    run.historyCount = static_cast<float>(basisHistories);
    engine::Spectrum spectrum;
    spectrum.titleLine1 = engine::toCharacterVariable("free-form fit");
    spectrum.titleLine2 = engine::toCharacterVariable("with background " + number("%.1f", r.backgroundAtRpPercent) +
                                                      " %");
    const double largest = *std::max_element(r.model.begin(), r.model.end());
    depthdose::AxisDose dose{};
    for (std::size_t slab = 0; slab < dose.size(); ++slab) dose[slab] = static_cast<float>(r.model[slab] / largest);
    return depthdose::depthDoseFileText(run, spectrum, dose);
}

}  // namespace fit
