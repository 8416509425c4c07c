#pragma once
// The arguments of orvalis-fit, for either model: the options, their defaults and limits, the usage
// text, and the parser that checks them (see fit/fit_command.h for the command lines).
#include "fit/background_model.h"
#include "fit/measured_data.h"
#include "fit/spectrum_fit.h"

#include <cstdint>
#include <filesystem>
#include <optional>
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
    std::optional<double> smooth;  // penalty strength; empty: chosen by cross-validation
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

}  // namespace fit
