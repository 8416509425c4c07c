#pragma once
// What a commissioning run found for one beam, and the record written from all of them:
// commissioning.json (one object per beam, numbers as the fit and the quality figures print them)
// and commissioning.csv (one row per beam, the same figures).
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "commission/beam_inventory.h"

namespace commission {

using Json = nlohmann::ordered_json;

inline constexpr std::array<const char*, 4> LEVEL_NAMES = {"R90", "R80", "R50", "R10"};

// The tolerance in mm of each level, model or confirmation against measurement.
using Tolerances = std::map<std::string, double>;
Tolerances defaultTolerances();

struct LevelResult {
    std::optional<double> measuredMm;
    std::optional<double> modelMm;
    std::optional<double> differenceMm;  // model - measured
    bool pass = false;
};

struct ConfirmLevel {
    std::optional<double> calculatedMm;
    std::optional<double> differenceMm;  // calculated - measured
    std::optional<double> sdMm;          // the run's standard uncertainty of the level, when known
    bool pass = false;
};

struct BeamResult {
    BeamEntry entry;
    std::string quantity = "dose";  // what the curve was measured as
    bool fitted = false;
    std::string reason;  // skipped: why
    // The beam-quality figures as printed (name, value; empty value: not found).
    std::vector<std::pair<std::string, std::optional<double>>> quality;
    // The fit.
    std::string model = "free";
    std::map<std::string, std::optional<double>> fitFigures;  // rms, emax, mean, peak, background, smooth
    std::string smoothChoice;                                 // how the smoothing was chosen, when said
    std::array<LevelResult, 4> levels{};
    std::map<std::string, std::pair<double, double>> intervals;  // quantity: low, high (95 %)
    std::vector<double> spectrumEnergyMeV;
    std::vector<double> spectrumWeight;
    std::vector<double> bandLow;  // pointwise band of the spectrum, when the fit gives one
    std::vector<double> bandHigh;
    // Confirmation by Tolvane and kernel by Brisella.
    std::optional<int> confirmHistories;
    std::array<ConfirmLevel, 4> confirmLevels{};
    std::optional<int> kernelHistories;
    std::string kernelFile;  // relative to the output folder
    // Curves for the report (mm, percent of the maximum).
    std::vector<double> measuredDepthMm, measuredPercent;
    std::vector<double> modelDepthMm, modelPercent;
    std::vector<double> confirmDepthMm, confirmPercent;
    int histories = 0;                 // per basis curve, as the fit said
    bool pass() const;                 // every level within tolerance, and the confirmation too
    double worstDifferenceMm() const;  // largest |model - measured| over the levels; NaN when none
};

struct RunInfo {
    std::string version;
    std::string created;  // ISO 8601
    std::string title;
    Tolerances tolerance;
};

// a - b of two depths printed with three decimals, to that precision.
double differenceMm(double a, double b);

// Text that is not UTF-8 (a Latin-1 file name) as its bytes taken for Latin-1 code points.
std::string utf8Text(const std::string& bytes);

Json beamJson(const BeamResult& beam);
Json commissioningJson(const RunInfo& run, const std::vector<BeamResult>& beams);
std::string commissioningCsv(const std::vector<BeamResult>& beams);

}  // namespace commission
