#pragma once
// The orvalis-fit command: arguments, the basis from the cache or the engine, the fit, the report
// and the optional curve file and plot.
//
//   orvalis-fit MEASURED (--emax MeV | --rp cm | --rp measured) [--scan N] [--ionisation | --dose]
//               [--fixed-emax] [--span %] [--histories N] [--from mm] [--threads N] [--out FILE.pdd]
//               [--plot FILE.png] [--no-cache]
#include "fit/measured_data.h"
#include "fit/spectrum_fit.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace fit {

constexpr std::int32_t DEFAULT_HISTORIES_PER_CURVE = 20000;
constexpr int DEFAULT_THREADS = 2;

struct CommandOptions {
    std::filesystem::path measuredFile;
    std::optional<int> scan;  // --scan N: which depth curve of the measured file
    beamdata::QuantityChoice quantity = beamdata::QuantityChoice::AsDetected;  // --ionisation, --dose
    std::optional<double> maxEnergyMeV;
    std::optional<double> practicalRangeCm;
    bool practicalRangeFromMeasurement = false;  // --rp measured: the tangent Rp of the measured curve
    MaxEnergyMode mode = MaxEnergyMode::Free;
    double maxEnergySpan = DEFAULT_MAX_ENERGY_SPAN;  // --span in percent
    std::int32_t historiesPerCurve = DEFAULT_HISTORIES_PER_CURVE;
    double fromDepthMm = 5.0;
    int threads = DEFAULT_THREADS;
    std::filesystem::path curveFile;  // empty: not written
    std::filesystem::path plotFile;   // empty: not drawn
    bool useCache = true;
    std::filesystem::path workFolder = ".";  // ELDAT.dat, water.csda and the basis cache
};

std::string usageText();

// Throws std::invalid_argument with a message for missing or malformed arguments.
CommandOptions parseArguments(const std::vector<std::string>& arguments);

// Draws measured against fitted into a picture file; returns false when it could not be written.
using PlotWriter =
    std::function<bool(const std::filesystem::path& file, const MeasuredCurve& measured, const FitResult& result)>;

// Runs the whole command, writing progress and results to `out`. Returns the exit status.
// Throws engine::RunError for unreadable inputs. A set `cancel` stops the basis without caching it.
int runFitCommand(const CommandOptions& options, std::ostream& out, const PlotWriter& plot = {},
                  const std::atomic<bool>* cancel = nullptr);

}  // namespace fit
