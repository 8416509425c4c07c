#include "fit/free_fit_report.h"

#include "beamdata/depth_dose_file.h"
#include "beamdata/fit_protocol.h"
#include "depthdose/depthdose_simulation.h"
#include "engine/record_io.h"
#include "fit/report_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace fit {

namespace {

constexpr int WEIGHTS_PER_ROW = 5;

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
        text += formatted("  %6.2f", static_cast<double>(r.spectrum.binEnergyKeV[j] / engine::KEV_PER_MEV)) +
                formatted(" %5.3f", r.relativeWeight[j]);
        if (++inRow == WEIGHTS_PER_ROW || j == last) {
            text += "\n";
            inRow = 0;
        }
    }
    return text;
}

std::string withHalfWidth(const Interval& i, const char* format) {
    if (std::isnan(i.low) || std::isnan(i.high)) return formatted(format, i.value) + " (no interval)";
    return formatted(format, i.value) + " +- " + formatted(format, 0.5 * (i.high - i.low)) + " (" +
           formatted(format, i.low) + " to " + formatted(format, i.high) + ")";
}

std::string uncertaintyText(const FreeFitResult& r) {
    if (!r.uncertainty) return "";
    const PosteriorSummary& u = *r.uncertainty;
    std::string text = "Uncertainty, 95 % intervals from " + std::to_string(u.samples) +
                       " samples of the posterior (noise of the readings " + formatted("%.3f", u.dataNoisePercent) +
                       " %, of the basis " + formatted("%.3f", u.basisNoisePercent) + " %):\n";
    text += "  mean energy " + withHalfWidth(u.energy[0], "%.2f") + " MeV\n";
    text += "  most probable energy " + withHalfWidth(u.energy[1], "%.2f") + " MeV\n";
    for (std::size_t k = 0; k < LEVELS.size(); ++k)
        text += std::string("  ") + beamdata::levelName(beamdata::RANGE_LEVELS[k]) + " " +
                withHalfWidth(u.level[k], "%.2f") + " mm\n";
    return text;
}

}  // namespace

std::string freeReportText(const FreeFitResult& r) {
    std::string text;
    text += "Free-form spectrum: 100 bins up to " + formatted("%.1f", static_cast<double>(r.maxEnergyMeV)) +
            " MeV, mean energy " + formatted("%.2f", r.meanEnergyMeV) + " MeV, most probable " +
            formatted("%.2f", r.peakEnergyMeV) + " MeV\n";
    text += "Fitted depths " + formatted("%.1f", r.fromDepthMm) + " to " + formatted("%.1f", r.toDepthMm) + " mm (" +
            std::to_string(r.fittedPoints) + " measured points), smoothing " + formatted("%.3e", r.smooth) +
            (!r.smoothChosen ? " (given, "
             : r.smooth <= EVIDENCE_SMOOTH_LOWEST * (1.0 + 1e-9)
                 ? " (chosen by the largest evidence, held at its weakest " +
                       formatted("%.0e", EVIDENCE_SMOOTH_LOWEST) + ", "
                 : " (chosen by the largest evidence, ") +
            formatted("%.1f", r.effectiveParameters) + " effective parameters, noise of the readings " +
            formatted("%.3f", r.noisePercent) + " % of the maximum)\n";
    if (r.background)
        text += "Background: a straight line through the " + std::to_string(r.background->tailPoints) +
                " points beyond Rp " + formatted("%.1f", r.background->practicalRangeMm) + " mm, Dx " +
                formatted("%.2f", r.backgroundAtRpPercent) +
                " % of the maximum (not in the exchange files: the simulators follow electrons only)\n";
    else
        text += "Background: none fitted\n";
    text += "rms residual " + formatted("%.3f", r.rmsPercent) + " % of the maximum\n";
    text += "        measured     model  difference  window (run)  electrons of the model alone   (mm)\n";
    for (std::size_t k = 0; k < LEVELS.size(); ++k)
        text += std::string("  ") + beamdata::levelName(beamdata::RANGE_LEVELS[k]) + "  " +
                depthText(r.measured[k], 8) + "  " + depthText(r.free[k], 8) + "  " +
                differenceText(r.free[k], r.measured[k], 8) + "      " + depthText(r.window[k], 8) + "      " +
                depthText(r.electronsOnly[k], 8) + "\n";
    text += spectrumTable(r);
    text += uncertaintyText(r);
    return text;
}

std::string freeResultLines(const FreeFitResult& r, const FreeFitResult& run, const std::string& whyNoBackground) {
    const beamdata::FreeSummary summary{
        r.rmsPercent, static_cast<double>(r.maxEnergyMeV),   r.meanEnergyMeV, r.peakEnergyMeV, r.backgroundAtRpPercent,
        r.smooth,     r.smoothChosen ? "evidence" : "given", r.noisePercent};
    std::string text = beamdata::resultLine(beamdata::freeSummaryRecord(summary));
    const auto spectrumLine = [](const FreeFitResult& of, const char* kind) {
        beamdata::FreeSpectrumWeights weights{};
        std::copy(of.relativeWeight.begin(), of.relativeWeight.end(), weights.begin());
        return beamdata::resultLine(beamdata::freeSpectrumRecord(weights, kind));
    };
    text += spectrumLine(r, beamdata::SPECTRUM_KIND);
    text += spectrumLine(run, beamdata::RUN_SPECTRUM_KIND);
    if (!whyNoBackground.empty()) text += beamdata::resultLine(beamdata::noBackgroundRecord(whyNoBackground));
    const auto found = [](double depthMm) { return std::isnan(depthMm) ? std::nullopt : std::optional(depthMm); };
    for (std::size_t k = 0; k < LEVELS.size(); ++k) {
        const beamdata::LevelComparison comparison{
            beamdata::RANGE_LEVELS[k], found(r.measured[k]), {found(r.free[k]), found(r.window[k])}};
        text += beamdata::resultLine(
            beamdata::levelRecord(comparison, {beamdata::FREE_MODEL_KEY, beamdata::WINDOW_KEY}));
    }
    if (r.uncertainty) {
        const PosteriorSummary& u = *r.uncertainty;
        std::vector<Interval> intervals = {u.energy[0], u.energy[1]};
        intervals.insert(intervals.end(), u.level.begin(), u.level.end());
        for (std::size_t k = 0; k < intervals.size(); ++k) {
            const Interval& i = intervals[k];
            if (std::isnan(i.value) || std::isnan(i.low) || std::isnan(i.high)) continue;
            text += beamdata::resultLine(
                beamdata::intervalRecord({beamdata::INTERVAL_QUANTITIES[k], i.value, i.low, i.high, INTERVAL_LEVEL}));
        }
        beamdata::SpectrumBand band;
        std::copy(u.bandLow.begin(), u.bandLow.end(), band.low.begin());
        std::copy(u.bandHigh.begin(), u.bandHigh.end(), band.high.begin());
        text += beamdata::resultLine(beamdata::spectrumBandRecord(band));
    }
    return text;
}

std::string freeFittedCurveFileText(const FreeFitResult& r, double basisHistories) {
    engine::RunFile run;
    run.maxEnergyMeV = r.maxEnergyMeV;
    run.historyCount = static_cast<float>(basisHistories);
    engine::Spectrum spectrum;
    spectrum.titleLine1 = engine::toCharacterVariable("free-form fit");
    spectrum.titleLine2 = engine::toCharacterVariable("with background " + formatted("%.1f", r.backgroundAtRpPercent) +
                                                      " %");
    const double largest = *std::max_element(r.model.begin(), r.model.end());
    depthdose::AxisDose dose{};
    for (std::size_t slab = 0; slab < dose.size(); ++slab) dose[slab] = static_cast<float>(r.model[slab] / largest);
    return beamdata::depthDoseFileText(run, spectrum, dose);
}

}  // namespace fit
