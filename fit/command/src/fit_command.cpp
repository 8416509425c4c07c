#include "fit/fit_command.h"

#include "beamdata/range_energy.h"
#include "beamdata/reading_options.h"
#include "engine/electron_data.h"
#include "engine/program_info.h"
#include "engine/result_file.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "fit/basis_cache.h"
#include "fit/fit_report.h"
#include "fit/report_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace fit {

namespace {

double numberArgument(const std::string& name, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value))
        throw std::invalid_argument(name + " needs a number, not \"" + text + "\"");
    return value;
}

// The value of an option that takes one of two words.
template <typename Choice>
Choice oneOf(const std::string& option, const std::string& word, const std::pair<const char*, Choice> (&words)[2]) {
    for (const auto& [name, choice] : words)
        if (word == name) return choice;
    throw std::invalid_argument(option + " needs " + words[0].first + " or " + words[1].first + ", not \"" + word +
                                "\"");
}

constexpr long MIN_SAMPLES = 20;  // fewer leave no order statistics for 95 % bounds
constexpr long MAX_SAMPLES = 100000;

// Takes a free-model option (--model, --smooth, --samples, --no-uncertainty, --background,
// --exchange, --kernel-exchange) into `options`; false when `argument` is none of them. `value` fetches the option's
// value.
bool parseFreeModelArgument(const std::string& a, const std::function<const std::string&()>& value, CommandOptions& o) {
    if (a == "--model") {
        o.model = oneOf<SpectrumModel>(a, value(), {{"beta", SpectrumModel::Beta}, {"free", SpectrumModel::Free}});
    } else if (a == "--smooth") {
        const std::string& text = value();
        char* end = nullptr;
        const double s = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !(s >= 0.0 && s <= 1e6))
            throw std::invalid_argument("--smooth needs a number from 0 to 1e6, not \"" + text + "\"");
        o.smooth = s;
    } else if (a == "--samples") {
        const std::string& text = value();
        char* end = nullptr;
        const long n = std::strtol(text.c_str(), &end, 10);
        if (end == text.c_str() || *end != '\0' || n < MIN_SAMPLES || n > MAX_SAMPLES)
            throw std::invalid_argument("--samples needs a whole number from " + std::to_string(MIN_SAMPLES) + " to " +
                                        std::to_string(MAX_SAMPLES) + ", not \"" + text + "\"");
        o.samples = static_cast<int>(n);
    } else if (a == "--no-uncertainty") {
        o.uncertainty = false;
    } else if (a == "--background") {
        o.background = oneOf<BackgroundMode>(a, value(), {{"on", BackgroundMode::On}, {"off", BackgroundMode::Off}});
    } else if (a == "--exchange") {
        o.writeExchange = true;
    } else if (a == "--kernel-exchange") {
        o.writeKernelExchange = true;
    } else {
        return false;
    }
    return true;
}

// Throws std::invalid_argument for free-model options given with the Beta model, or for both
// exchange options at once (they write the same two files).
void checkFreeModelArguments(const CommandOptions& o) {
    const bool freeOnly = o.smooth || o.background != BackgroundMode::Automatic || o.writeExchange ||
                          o.writeKernelExchange || o.samples || !o.uncertainty;
    if (o.model == SpectrumModel::Beta && freeOnly)
        throw std::invalid_argument(
            "--smooth, --background, --exchange, --kernel-exchange, --samples and --no-uncertainty need --model free");
    if (o.samples && !o.uncertainty) throw std::invalid_argument("give one of --samples and --no-uncertainty");
    if (o.writeExchange && o.writeKernelExchange)
        throw std::invalid_argument("give one of --exchange and --kernel-exchange: both write Nimbrola.dat");
    if (o.model == SpectrumModel::Free && o.mode == MaxEnergyMode::Fixed)
        throw std::invalid_argument("--fixed-emax belongs to the Beta model; the free-form bins keep their Emax");
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
        } else if (beamdata::takeReadingOption(a, value, o.quantity, o.depthUnit) ||
                   parseFreeModelArgument(a, value, o)) {
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

}  // namespace fit
