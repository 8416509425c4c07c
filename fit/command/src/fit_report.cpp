#include "fit/fit_report.h"

#include "beamdata/depth_dose_file.h"
#include "beamdata/fit_protocol.h"
#include "depthdose/depthdose_simulation.h"
#include "engine/record_io.h"
#include "fit/report_text.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace fit {

namespace {

std::string parameterLine(const char* kind, const FitPoint& p) {
    return beamdata::resultLine(beamdata::betaParametersRecord(kind, {p.alpha, p.beta, p.maxEnergyMeV, p.rmsPercent}));
}

std::optional<double> found(double depthMm) {
    if (std::isnan(depthMm)) return std::nullopt;
    return depthMm;
}

}  // namespace

std::string progressLine(const std::string& stage, int done, int total) {
    return beamdata::progressLine({stage, done, total});
}

std::string reportText(const FitResult& r, MaxEnergyMode mode) {
    std::string text;
    text += "Fitted depths " + formatted("%.1f", r.fromDepthMm) + " to " + formatted("%.1f", r.toDepthMm) + " mm (" +
            std::to_string(r.fittedPoints) + " measured points), maximum energy " +
            (mode == MaxEnergyMode::Free ? "free" : "fixed") + ", " + std::to_string(r.evaluations) +
            " model evaluations\n";
    text += "                    alpha    beta   Emax (MeV)   rms (%)\n";
    text += "  on the 0.1 grid " + formatted("%7.1f", r.onGrid.alpha) + formatted("%8.1f", r.onGrid.beta) +
            formatted("%11.1f", r.onGrid.maxEnergyMeV) + formatted("%12.3f", r.onGrid.rmsPercent) + "\n";
    text += "  continuous      " + formatted("%7.3f", r.continuous.alpha) + formatted("%8.3f", r.continuous.beta) +
            formatted("%11.3f", r.continuous.maxEnergyMeV) + formatted("%12.3f", r.continuous.rmsPercent) + "\n";
    if (r.maxEnergyAtLimit)
        text += "Note: the maximum energy stopped at the edge of the allowed span (+-" +
                formatted("%.0f", 100.0 * r.maxEnergySpan) + " %); a wider --span may fit better.\n";
    text += "        measured  model(grid)  difference  model(cont.)  difference   (mm)\n";
    for (std::size_t k = 0; k < LEVELS.size(); ++k) {
        text += std::string("  ") + beamdata::levelName(beamdata::RANGE_LEVELS[k]) + "  " +
                depthText(r.measured[k], 7) + "    " + depthText(r.onGrid.levels[k], 7) + "     " +
                differenceText(r.onGrid.levels[k], r.measured[k], 7) + "      " + depthText(r.continuous.levels[k], 7) +
                "     " + differenceText(r.continuous.levels[k], r.measured[k], 7) + "\n";
    }
    return text;
}

std::string resultLines(const FitResult& r) {
    std::string text = parameterLine(beamdata::GRID_KIND, r.onGrid) +
                       parameterLine(beamdata::CONTINUOUS_KIND, r.continuous);
    for (std::size_t k = 0; k < LEVELS.size(); ++k) {
        const beamdata::LevelComparison comparison{beamdata::RANGE_LEVELS[k],
                                                   found(r.measured[k]),
                                                   {found(r.onGrid.levels[k]), found(r.continuous.levels[k])}};
        text += beamdata::resultLine(
            beamdata::levelRecord(comparison, {beamdata::GRID_KIND, beamdata::CONTINUOUS_KIND}));
    }
    return text;
}

std::string fittedCurveFileText(const FitPoint& point, double basisHistories) {
    engine::RunFile run;
    run.maxEnergyMeV = static_cast<float>(point.maxEnergyMeV);
    run.historyCount = static_cast<float>(basisHistories);
    engine::Spectrum spectrum;
    spectrum.titleLine1 = engine::toCharacterVariable("fit alpha=" + formatted("%.1f", point.alpha));
    spectrum.titleLine2 = engine::toCharacterVariable("beta=" + formatted("%.1f", point.beta));
    depthdose::AxisDose dose{};
    for (std::size_t slab = 0; slab < dose.size(); ++slab) dose[slab] = static_cast<float>(point.relative[slab]);
    return beamdata::depthDoseFileText(run, spectrum, dose);
}

}  // namespace fit
