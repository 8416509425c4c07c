#include "fit/fit_command.h"

#include "beamdata/range_energy.h"
#include "engine/electron_data.h"
#include "engine/program_info.h"
#include "engine/result_file.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "fit/basis_cache.h"
#include "fit/fit_report.h"
#include "fit/free_fit_command.h"
#include "fit/report_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>

namespace fit {

namespace {

double numberArgument(const std::string& name, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value))
        throw std::invalid_argument(name + " needs a number, not \"" + text + "\"");
    return value;
}

}  // namespace

std::optional<AxisBasis> obtainBasis(const CommandOptions& o, float centreMeV, std::ostream& out,
                                     const std::atomic<bool>* cancel, int curveCount) {
    const std::filesystem::path eldat = o.workFolder / engine::ELECTRON_DATA_FILE_NAME;
    const std::uint64_t hash = contentHash(eldat);
    if (curveCount == 0) curveCount = basisCurveCount(o.maxEnergySpan);
    // A basis of other than the Beta fit's count of curves is kept under a name of its own.
    std::string cacheName = basisCacheFileName(centreMeV);
    if (curveCount != basisCurveCount(o.maxEnergySpan))
        cacheName = cacheName.substr(0, cacheName.rfind('.')) + "-" + std::to_string(curveCount) + ".txt";
    const std::filesystem::path cacheFile = o.workFolder / cacheName;
    std::string reason = "not used (--no-cache)";
    if (o.useCache) {
        if (auto cached = loadBasis(cacheFile, centreMeV, historiesPerCurve(o), curveCount, hash, reason)) {
            out << "Basis read from " << cacheFile.filename().string() << "\n" << std::flush;
            return cached;
        }
    }
    out << "Basis " << cacheFile.filename().string() << ": " << reason << "; simulating " << curveCount << " curves of "
        << historiesPerCurve(o) << " histories on " << o.threads << " threads\n"
        << std::flush;
    const engine::ElectronData data = engine::loadElectronData(eldat);
    const auto start = std::chrono::steady_clock::now();
    AxisBasis basis;
    const bool complete = simulateBasis(
        data, centreMeV, historiesPerCurve(o), curveCount, o.threads, basis,
        [&out](int done, int total) { out << progressLine("basis", done, total) << std::flush; }, cancel);
    if (!complete) return std::nullopt;
    out << "Basis simulated in " << secondsText(secondsSince(start)) << "\n" << std::flush;
    if (o.useCache) {
        // The cache only saves time: a file that cannot be kept does not fail the fit.
        try {
            saveBasis(cacheFile, basis, hash);
        } catch (const engine::RunError& error) {
            out << "Basis not kept: " << error.what() << "\n";
        }
    }
    return basis;
}

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

std::int32_t historiesPerCurve(const CommandOptions& o) {
    return o.historiesPerCurve.value_or(o.model == SpectrumModel::Free ? DEFAULT_FREE_HISTORIES_PER_CURVE
                                                                       : DEFAULT_HISTORIES_PER_CURVE);
}

OutputFiles openOutputFiles(const CommandOptions& o) {
    const std::vector<std::filesystem::path> inputs = {o.measuredFile, o.workFolder / engine::ELECTRON_DATA_FILE_NAME,
                                                       o.workFolder / beamdata::CSDA_FILE_NAME};
    OutputFiles files;
    if (!o.curveFile.empty())
        files.curve = std::make_unique<engine::ResultFile>(std::filesystem::path(), o.curveFile.string(),
                                                           engine::NameOrigin{"--out", 0, "the fitted curve file"},
                                                           inputs);
    if (!o.plotFile.empty()) {
        const engine::NameOrigin origin{"--plot", 0, "the plot file"};
        engine::checkResultName(o.plotFile, origin, inputs);
        try {
            files.plotLock = std::make_unique<engine::ResultLock>(o.plotFile);
        } catch (const engine::LockRefused& refused) {
            throw engine::RunError(
                origin.fileName, 0,
                origin.what + " \"" + o.plotFile.string() + "\" " + refused.what() + "; no result file was written.");
        }
    }
    return files;
}

void drawPlot(const std::filesystem::path& file, bool drawable, const std::function<bool()>& draw, std::ostream& out) {
    if (file.empty()) return;
    if (!drawable)
        out << "This build draws no plots (Qt 6 Gui missing); " << file.string() << " not written\n";
    else if (!draw())
        out << "The plot " << file.string() << " could not be written\n";
    else
        out << "Plot written to " << file.string() << "\n";
}

std::string usageText() {
    return "usage: orvalis-fit MEASURED (--emax MeV | --rp cm | --rp measured) [--fixed-emax] [--span %]\n"
           "                   [--histories N] [--from mm] [--threads N] [--out FILE.pdd] [--plot FILE.png]\n"
           "                   [--no-cache] [--scan N] [--ionisation | --dose] [--depth-unit mm|cm]\n"
           "       orvalis-fit MEASURED --model free (--emax MeV | --rp cm | --rp measured) [--smooth S]\n"
           "                   [--background on|off] [--exchange | --kernel-exchange] [--histories N] [--from mm]\n"
           "                   [--threads N] [--out FILE.pdd] [--plot FILE.png] [--no-cache] [--scan N]\n"
           "                   [--ionisation | --dose] [--depth-unit mm|cm] [--samples N | --no-uncertainty]\n"
           "  MEASURED: .csv, PTW .mcc, RFA300 .asc/.txt or w2CAD .asc/.cdp; --scan picks one of several depth\n"
           "  curves, --ionisation / --dose override what the file says its detector measured, --depth-unit cm\n"
           "  reads its depths as cm.\n";
}

CommandOptions parseArguments(const std::vector<std::string>& arguments) {
    CommandOptions o;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) throw std::invalid_argument(a + " needs a value");
            return arguments[++i];
        };
        if (a == "--emax")
            o.maxEnergyMeV = numberArgument(a, value());
        else if (a == "--rp") {
            const std::string& text = value();
            if (text == "measured")
                o.practicalRangeFromMeasurement = true;
            else
                o.practicalRangeCm = numberArgument(a, text);
        } else if (a == "--fixed-emax")
            o.mode = MaxEnergyMode::Fixed;
        else if (a == "--span") {
            const double percent = numberArgument(a, value());
            if (!(percent >= 1.0 && percent <= 30.0)) throw std::invalid_argument("--span needs 1 to 30 (percent)");
            o.maxEnergySpan = percent / 100.0;
        } else if (a == "--histories") {
            const double n = numberArgument(a, value());
            // At most 10^7: 112 curves of them still fit the "F11.0" history field of the curve file.
            if (!(n >= 100.0 && n <= 1.0e7) || n != std::floor(n))
                throw std::invalid_argument("--histories needs a whole number from 100 to 10000000");
            o.historiesPerCurve = static_cast<std::int32_t>(n);
        } else if (a == "--from")
            o.fromDepthMm = numberArgument(a, value());
        else if (a == "--threads") {
            const double n = numberArgument(a, value());
            if (!(n >= 1.0 && n <= 64.0)) throw std::invalid_argument("--threads needs 1 to 64");
            o.threads = static_cast<int>(n);
        } else if (a == "--out")
            o.curveFile = value();
        else if (a == "--plot")
            o.plotFile = value();
        else if (a == "--no-cache")
            o.useCache = false;
        else if (a == "--scan") {
            const double n = numberArgument(a, value());
            if (!(n >= 1.0 && n <= 10000.0) || n != std::floor(n))
                throw std::invalid_argument("--scan needs 1, 2, ...");
            o.scan = static_cast<int>(n);
        } else if (a == "--ionisation" || a == "--dose") {
            const auto choice = a == "--dose" ? beamdata::QuantityChoice::Dose : beamdata::QuantityChoice::Ionisation;
            if (o.quantity != beamdata::QuantityChoice::AsDetected && o.quantity != choice)
                throw std::invalid_argument("give --ionisation or --dose, not both");
            o.quantity = choice;
        } else if (a == "--depth-unit") {
            const std::optional<beamdata::DepthUnit> unit = beamdata::depthUnitFromWord(value());
            if (!unit) throw std::invalid_argument("--depth-unit needs mm or cm");
            o.depthUnit = *unit;
        } else if (parseFreeModelArgument(a, value, o)) {
        } else if (!a.empty() && a[0] == '-')
            throw std::invalid_argument("unknown option " + a);
        else if (o.measuredFile.empty())
            o.measuredFile = a;
        else
            throw std::invalid_argument("only one measured file, not also \"" + a + "\"");
    }
    if (o.measuredFile.empty()) throw std::invalid_argument("no measured file given");
    const int energySources = (o.maxEnergyMeV ? 1 : 0) + (o.practicalRangeCm ? 1 : 0) +
                              (o.practicalRangeFromMeasurement ? 1 : 0);
    if (energySources != 1) throw std::invalid_argument("give one of --emax or --rp");
    if (o.maxEnergyMeV && !(*o.maxEnergyMeV >= LOWEST_MAX_ENERGY_MEV && *o.maxEnergyMeV <= HIGHEST_MAX_ENERGY_MEV))
        throw std::invalid_argument("--emax must lie between 1 and 50 MeV");
    if (o.practicalRangeCm && !(*o.practicalRangeCm > 0.0)) throw std::invalid_argument("--rp must be positive");
    checkFreeModelArguments(o);
    return o;
}

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
