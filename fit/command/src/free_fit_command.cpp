#include "fit/free_fit_command.h"

#include "beamdata/exchange_files.h"
#include "beamdata/free_exchange.h"
#include "beamdata/range_energy.h"
#include "engine/program_info.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "fit/fit_report.h"
#include "fit/free_fit_report.h"
#include "fit/report_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>

namespace fit {

namespace {

double tenthsOfMeV(double energyMeV) { return std::round(energyMeV * 10.0) / 10.0; }

// Emax of the bins: given, or FREE_MAX_ENERGY_FACTOR x the set-up window's energy for Rp.
float freeMaxEnergy(const CommandOptions& o, std::optional<double> measuredRangeMm, std::ostream& out) {
    if (o.maxEnergyMeV) return static_cast<float>(tenthsOfMeV(*o.maxEnergyMeV));
    const double rangeCm = o.practicalRangeCm ? *o.practicalRangeCm : *measuredRangeMm / 10.0;
    const auto derived = beamdata::shownMaxEnergyFromPracticalRange(
        beamdata::readRangeEnergyTable(o.workFolder / beamdata::CSDA_FILE_NAME), rangeCm);
    const double emax = derived ? tenthsOfMeV(FREE_MAX_ENERGY_FACTOR * *derived) : 0.0;
    if (!derived || !(emax >= LOWEST_MAX_ENERGY_MEV && emax <= HIGHEST_MAX_ENERGY_MEV))
        throw engine::RunError(std::string(beamdata::CSDA_FILE_NAME), 0,
                               "gives no usable maximum energy for this practical range");
    out << "Maximum energy from the practical range " << rangeCm << " cm: " << *derived << " MeV; bins up to "
        << FREE_MAX_ENERGY_FACTOR << " x that: " << formatted("%.1f", emax) << " MeV\n";
    return static_cast<float>(emax);
}

// Rp of the deepest fall-off. The tangent at the steepest point of the curve belongs to the fall-off
// of the most numerous electrons; a spectrum of two groups (not a clinical beam, but a free-form
// spectrum can be one) falls off twice, and the deeper group would be left beyond Rp, out of Emax and
// taken for a background. While the curve still falls through 10 % beyond Rp, the next fall-off is
// taken. A single fall-off keeps its Rp (R10 lies before it).
std::optional<double> deepestPracticalRangeMm(const MeasuredCurve& curve) {
    std::optional<double> rp = practicalRangeMm(curve);
    const double r10 = measuredLevels(curve)[3];
    while (rp && !std::isnan(r10) && r10 > *rp + TAIL_START_MM) {
        MeasuredCurve deeper;
        for (std::size_t i = 0; i < curve.depthMm.size(); ++i)
            if (curve.depthMm[i] >= *rp) {
                deeper.depthMm.push_back(curve.depthMm[i]);
                deeper.dose.push_back(curve.dose[i]);
            }
        const std::optional<double> next = deeper.dose.empty() ? std::nullopt : practicalRangeMm(deeper);
        if (!next || *next <= *rp) break;
        rp = next;
    }
    return rp;
}

}  // namespace

int runFreeFitCommand(const CommandOptions& o, std::ostream& out, const FreePlotWriter& plot,
                      const std::atomic<bool>* cancel) {
    const auto start = std::chrono::steady_clock::now();
    const std::string fileName = o.measuredFile.filename().string();
    const OutputFiles outputs = openOutputFiles(o);
    // The report names the program and version that made it, for the commissioning record.
    out << engine::versionLine("orvalis-fit");
    const MeasuredCurve measured = readFittableCurve(o.measuredFile, o.scan, o.quantity, o.depthUnit);
    const auto rangeMm = deepestPracticalRangeMm(measured);
    if (!rangeMm) throw engine::RunError(fileName, 0, "has no fall-off to take a practical range from");
    out << "Practical range of the measurement: " << formatted("%.2f", *rangeMm / 10.0) << " cm\n";
    const float maxEnergyMeV = freeMaxEnergy(o, rangeMm, out);
    std::string whyNone;
    const auto background = backgroundLine(measured, *rangeMm, o.background, fileName, &whyNone);
    if (!background && o.background == BackgroundMode::Automatic) out << "No background: " << whyNone << "\n";
    if (!background && whyNone.empty()) whyNone = "switched off by --background off";

    // The bins end at Emax: 100 curves, no more (the highest take longest to simulate).
    const auto basis = obtainBasis(o, maxEnergyMeV, out, cancel, engine::SPECTRUM_BINS);
    if (!basis) {
        out << "Cancelled: no basis was kept.\n";
        return 2;
    }
    const ModelBasis model(*basis);
    FreeFitOptions options;
    options.fromDepthMm = o.fromDepthMm.value_or(FreeFitOptions{}.fromDepthMm);
    options.smooth = o.smooth;
    options.samples = o.uncertainty ? o.samples.value_or(DEFAULT_POSTERIOR_SAMPLES) : 0;
    out << progressLine("free", 0, 1) << std::flush;
    FreeFitResult result = fitFreeSpectrum(model, maxEnergyMeV, measured, background, options, fileName);
    // The simulators follow electrons only, and a run normalises to its own maximum: the model's
    // electrons alone would put R50 and R10 shallower than measured by about half and nine tenths of
    // the background over the gradient there. The spectrum handed to them is therefore fitted to the
    // measurement up to R10 without the background, which is what the comparison window will set
    // against the measurement after the confirming run.
    std::optional<FreeFitResult> forRun;
    if (background) {
        // At the smoothing of the whole fit: chosen anew on the refit, where the misfit is ruled by the
        // toe that electrons alone cannot follow, cross-validation went down to spectra that lean on
        // the noise of single basis curves, and their runs missed R80 by up to 0.9 mm.
        FreeFitOptions runOptions = options;
        runOptions.smooth = result.smooth;
        runOptions.samples = 0;  // the intervals belong to the whole model
        forRun = fitFreeSpectrum(model, maxEnergyMeV, measured, std::nullopt, runOptions, fileName);
        result.window = forRun->window;
    }
    out << progressLine("free", 1, 1);
    out << freeReportText(result);
    if (forRun)
        out << "Spectrum for the simulators: refitted without the background up to R10 at the same smoothing (mean "
               "energy "
            << formatted("%.2f", forRun->meanEnergyMeV) << " MeV, rms " << formatted("%.3f", forRun->rmsPercent)
            << " %), since their runs hold no photons; the window column is its run\n";
    out << "Time " << formatted("%.1f", secondsSince(start)) << " s\n";

    if (outputs.curve) {
        const double histories = static_cast<double>(basis->historiesPerCurve) * engine::SPECTRUM_BINS;
        outputs.curve->write(freeFittedCurveFileText(result, histories));
        outputs.curve->commit();
        out << "Model curve written to " << o.curveFile.string() << "\n";
    }
    drawPlot(
        o.plotFile, static_cast<bool>(plot), [&] { return plot(o.plotFile, measured, result); }, out);
    // The files are made from the RESULT records, as the fit window makes them.
    const std::string resultLines = freeResultLines(result, forRun ? *forRun : result,
                                                    result.background ? std::string() : whyNone);
    if (o.writeExchange || o.writeKernelExchange) {
        const auto handedOver = beamdata::parseFreeFitOutput(resultLines);
        if (!handedOver) throw std::logic_error("the free-form RESULT records do not read back");
        const auto kind = o.writeExchange ? beamdata::CalculationKind::DepthDose : beamdata::CalculationKind::Kernel;
        const beamdata::ExchangeContent content = beamdata::freeExchangeContent(*handedOver, o.measuredFile, kind);
        beamdata::writeExchangeFiles(o.workFolder, content);
        out << "Exchange files " << engine::RUN_FILE_NAME << " and " << engine::SPECTRUM_FILE_NAME << " written for "
            << (o.writeExchange ? "Tolvane: " : "Brisella: ") << beamdata::resultFileName(content) << "\n";
    }
    out << resultLines << std::flush;
    return 0;
}

}  // namespace fit
