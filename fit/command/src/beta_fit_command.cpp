#include "fit/beta_fit_command.h"

#include "beamdata/range_energy.h"
#include "engine/program_info.h"
#include "engine/result_file.h"
#include "engine/run_error.h"
#include "fit/basis_cache.h"
#include "fit/fit_report.h"
#include "fit/report_text.h"

#include <chrono>
#include <cmath>
#include <optional>
#include <string>

namespace fit {

namespace {

// The fit, with the faults that belong to no input named after the basis they come from.
FitResult fitWithBasisNamed(const ModelBasis& model, const MeasuredCurve& measured, const FitOptions& options,
                            const std::string& basisName, std::ostream& out) {
    try {
        SpectrumFit fit(model, measured, options);
        return fit.run([&out](const std::string& stage, int done, int total) {
            out << progressLine(stage, done, total) << std::flush;
        });
    } catch (const engine::RunError& error) {
        if (!error.fileName().empty()) throw;
        throw engine::RunError(basisName, 0, error.what());
    }
}

}  // namespace

int runFitCommand(const CommandOptions& o, std::ostream& out, const PlotWriter& plot, const std::atomic<bool>* cancel) {
    const auto start = std::chrono::steady_clock::now();
    const OutputFiles outputs = openOutputFiles(o);
    // The report names the program and version that made it, for the commissioning record.
    out << engine::versionLine("orvalis-fit");
    const MeasuredCurve measured = readFittableCurve(o.measuredFile, o.scan, o.quantity, o.depthUnit);
    double centre = o.maxEnergyMeV.value_or(0.0);
    std::optional<double> rangeCm = o.practicalRangeCm;
    if (o.practicalRangeFromMeasurement) {
        const auto rangeMm = practicalRangeMm(measured);
        if (!rangeMm)
            throw engine::RunError(o.measuredFile.filename().string(), 0,
                                   "has no fall-off to take a practical range from");
        rangeCm = *rangeMm / 10.0;
        out << "Practical range of the measurement: " << *rangeCm << " cm\n";
    }
    if (rangeCm) {
        const auto derived = beamdata::shownMaxEnergyFromPracticalRange(
            beamdata::readRangeEnergyTable(o.workFolder / beamdata::CSDA_FILE_NAME), *rangeCm);
        if (!derived || !(*derived >= LOWEST_MAX_ENERGY_MEV && *derived <= HIGHEST_MAX_ENERGY_MEV))
            throw engine::RunError(std::string(beamdata::CSDA_FILE_NAME), 0,
                                   "gives no usable maximum energy for this practical range");
        centre = *derived;
        out << "Maximum energy from the practical range " << *rangeCm << " cm: " << centre << " MeV\n";
    }
    // The run uses the energy as its box shows it, to 0.1 MeV.
    const float centreMeV = static_cast<float>(std::round(centre * 10.0) / 10.0);

    const auto basis = obtainBasis(o, centreMeV, out, cancel);
    if (!basis) {
        out << "Cancelled: no basis was kept.\n";
        return 2;
    }
    const ModelBasis model(*basis);
    FitOptions options;
    options.mode = o.mode;
    options.centreMaxEnergyMeV = centreMeV;
    options.fromDepthMm = o.fromDepthMm.value_or(FitOptions{}.fromDepthMm);
    options.maxEnergySpan = o.maxEnergySpan;
    options.measuredFileName = o.measuredFile.filename().string();
    const FitResult result = fitWithBasisNamed(model, measured, options, basisCacheFileName(centreMeV), out);
    out << reportText(result, o.mode);
    out << "Time " << secondsText(secondsSince(start)) << "\n";
    if (outputs.curve) {
        const double histories = static_cast<double>(basis->historiesPerCurve) *
                                 static_cast<double>(basis->curve.size());
        for (double value : result.onGrid.relative)
            if (!(value >= 0.0 && value <= 1.0))
                throw engine::RunError(
                    o.curveFile.string(), 0,
                    "not written: the fitted curve holds a value outside 0 to 1 (" + std::to_string(value) + ")");
        outputs.curve->write(fittedCurveFileText(result.onGrid, histories));
        outputs.curve->commit();
        out << "Fitted curve written to " << o.curveFile.string() << "\n";
    }
    drawPlot(
        o.plotFile, static_cast<bool>(plot), [&] { return plot(o.plotFile, measured, result); }, out);
    out << resultLines(result) << std::flush;
    return 0;
}

}  // namespace fit
