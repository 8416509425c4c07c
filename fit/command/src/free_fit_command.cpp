#include "fit/free_fit_command.h"

#include "beamdata/exchange_files.h"
#include "beamdata/free_exchange.h"
#include "beamdata/range_energy.h"
#include "engine/program_info.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "fit/fit_report.h"
#include "fit/free_fit_driver.h"
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

}  // namespace

int runFreeFitCommand(const CommandOptions& o, std::ostream& out, const FreePlotWriter& plot,
                      const std::atomic<bool>* cancel) {
    const auto start = std::chrono::steady_clock::now();
    const std::string fileName = o.measuredFile.filename().string();
    const OutputFiles outputs = openOutputFiles(o);
    // The report names the program and version that made it, for the commissioning record.
    out << engine::versionLine("orvalis-fit");
    FreeFitRun run;
    run.measured = readFittableCurve(o.measuredFile, o.scan, o.quantity, o.depthUnit);
    run.fileName = fileName;
    run.backgroundMode = o.background;
    run.options.fromDepthMm = o.fromDepthMm.value_or(FreeFitOptions{}.fromDepthMm);
    run.options.smooth = o.smooth;
    run.options.samples = o.uncertainty ? o.samples.value_or(DEFAULT_POSTERIOR_SAMPLES) : 0;
    FreeFitHooks hooks;
    hooks.maxEnergy = [&](const FreeFitRun& r) { return freeMaxEnergy(o, r.practicalRangeMm, out); };
    hooks.basis = [&](const FreeFitRun& r) -> std::optional<ModelBasis> {
        // The bins end at Emax: 100 curves, no more (the highest take longest to simulate).
        auto basis = obtainBasis(o, r.maxEnergyMeV, out, cancel, engine::SPECTRUM_BINS);
        if (!basis) return std::nullopt;
        return ModelBasis(std::move(*basis));
    };
    hooks.starting = [&](FreeFitStage stage, const FreeFitRun&) {
        if (stage == FreeFitStage::Fit) out << progressLine("free", 0, 1) << std::flush;
    };
    hooks.finished = [&](FreeFitStage stage, const FreeFitRun& r) {
        if (stage == FreeFitStage::PracticalRange)
            out << "Practical range of the measurement: " << formatted("%.2f", *r.practicalRangeMm / 10.0) << " cm\n";
        if (stage == FreeFitStage::Background && !r.background && o.background == BackgroundMode::Automatic)
            out << "No background: " << r.whyNoBackground << "\n";
    };
    if (runFreeFitStages(run, hooks, cancel) == FreeFitOutcome::Cancelled) {
        out << (run.model ? "Cancelled: nothing was fitted.\n" : "Cancelled: no basis was kept.\n");
        return 2;
    }
    const MeasuredCurve& measured = run.measured;
    const FreeFitResult& result = *run.result;
    const std::optional<FreeFitResult>& forRun = run.forRun;
    const std::string& whyNone = run.whyNoBackground;
    out << progressLine("free", 1, 1);
    out << freeReportText(result);
    if (forRun)
        out << "Spectrum for the simulators: refitted without the background up to R10 at the same smoothing (mean "
               "energy "
            << formatted("%.2f", forRun->meanEnergyMeV) << " MeV, rms " << formatted("%.3f", forRun->rmsPercent)
            << " %), since their runs hold no photons; the window column is its run\n";
    out << "Time " << formatted("%.1f", secondsSince(start)) << " s\n";

    if (outputs.curve) {
        const double histories = static_cast<double>(run.model->basis().historiesPerCurve) * engine::SPECTRUM_BINS;
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
