#pragma once
// The orvalis-fit command line, shared by both models: the arguments, the basis from the cache or
// the engine, the output files and the plot. The runs: fit/beta_fit_command.h and
// fit/free_fit_command.h.
//
//   orvalis-fit MEASURED (--emax MeV | --rp cm | --rp measured) [--scan N] [--ionisation | --dose]
//               [--depth-unit mm|cm] [--fixed-emax] [--span %] [--histories N] [--from mm] [--threads N] [--out
//               FILE.pdd]
//               [--plot FILE.png] [--no-cache]
//   orvalis-fit MEASURED --model free (--emax MeV | --rp cm | --rp measured) [--smooth S]
//               [--background on|off] [--exchange | --kernel-exchange] [--histories N] [--from mm]
//               [--samples N | --no-uncertainty] ...
#include "engine/result_file.h"
#include "fit/background_model.h"
#include "fit/measured_data.h"
#include "fit/spectrum_fit.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace fit {

constexpr std::int32_t DEFAULT_HISTORIES_PER_CURVE = 20000;
// The free-form basis: its spectra follow single curves more closely than two Beta parameters do,
// and at 20000 histories the noise of the curves (0.3 % on the shoulder of a 20 MeV beam, a few
// tenths of a millimetre at R90) showed in the spectra handed to the simulators.
constexpr std::int32_t DEFAULT_FREE_HISTORIES_PER_CURVE = 40000;
constexpr int DEFAULT_THREADS = 2;

enum class SpectrumModel { Beta, Free };

struct CommandOptions {
    SpectrumModel model = SpectrumModel::Beta;
    std::filesystem::path measuredFile;
    std::optional<int> scan;  // --scan N: which depth curve of the measured file
    beamdata::QuantityChoice quantity = beamdata::QuantityChoice::AsDetected;  // --ionisation, --dose
    beamdata::DepthUnit depthUnit = beamdata::DepthUnit::Mm;                   // --depth-unit: the file's depths
    std::optional<double> maxEnergyMeV;
    std::optional<double> practicalRangeCm;
    bool practicalRangeFromMeasurement = false;  // --rp measured: the tangent Rp of the measured curve
    MaxEnergyMode mode = MaxEnergyMode::Free;
    double maxEnergySpan = DEFAULT_MAX_ENERGY_SPAN;  // --span in percent
    std::optional<std::int32_t> historiesPerCurve;   // empty: the model's default (see historiesPerCurve())
    std::optional<double> fromDepthMm;               // empty: 5 mm for the Beta model, 1 mm for the free-form one
    int threads = DEFAULT_THREADS;
    std::filesystem::path curveFile;  // empty: not written
    std::filesystem::path plotFile;   // empty: not drawn
    bool useCache = true;
    std::filesystem::path workFolder = ".";  // ELDAT.dat, water.csda and the basis cache
    // Free-form model only:
    std::optional<double> smooth;  // penalty strength; empty: chosen by the evidence
    std::optional<int> samples;    // of the posterior for the 95 % intervals; empty: the default
    bool uncertainty = true;       // false: --no-uncertainty, no intervals and no band
    BackgroundMode background = BackgroundMode::Automatic;
    bool writeExchange = false;        // Nimbrola.dat/.txt for Tolvane into workFolder
    bool writeKernelExchange = false;  // the same for Brisella
};

// The maximum energies a fit may take: the scattering table reaches 60 MeV, the basis 1.12 x Emax.
constexpr double LOWEST_MAX_ENERGY_MEV = 1.0;
constexpr double HIGHEST_MAX_ENERGY_MEV = 50.0;

std::string usageText();

// Histories per basis curve: given, or the default of the model.
std::int32_t historiesPerCurve(const CommandOptions& options);

// Throws std::invalid_argument with a message for missing or malformed arguments.
CommandOptions parseArguments(const std::vector<std::string>& arguments);

// The basis at centreMeV from the cache in the work folder when it matches, otherwise simulated
// (and cached). curveCount 0 takes the Beta fit's count for the span. Empty when cancelled.
// Throws engine::RunError for an unreadable ELDAT.dat.
std::optional<AxisBasis> obtainBasis(const CommandOptions& options, float centreMeV, std::ostream& out,
                                     const std::atomic<bool>* cancel, int curveCount = 0);

// The files to be written, checked before any work against every file the fit reads (a result
// never overwrites an input), and locked for the whole run, so that a second fit on the same names
// is refused before its basis: the curve file of --out opened (empty without --out), the name of
// --plot checked. Throws engine::RunError for an unusable name or one another run is writing.
struct OutputFiles {
    std::unique_ptr<engine::ResultFile> curve;
    std::unique_ptr<engine::ResultLock> plotLock;
};
OutputFiles openOutputFiles(const CommandOptions& options);

// Draws the plot of --plot, if one is asked for, by `draw` and says so; `drawable` false: this
// build has no plots.
void drawPlot(const std::filesystem::path& file, bool drawable, const std::function<bool()>& draw, std::ostream& out);

}  // namespace fit
