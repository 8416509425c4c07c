#pragma once
// The lines orvalis-fit prints for the programs that follow it: "PROGRESS <stage> <done> <total>"
// while it works, and "RESULT <kind> key=value ..." records at the end. Both sides of the pipe use
// this module: the fit writes the lines, the front end parses them.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/range_levels.h"

namespace beamdata {

struct ProgressReport {
    std::string stage;  // "basis", "scan", "grid", "refine"
    int done = 0;
    int total = 0;
};

// "PROGRESS basis 37 112" with its line end.
std::string progressLine(const ProgressReport& progress);
// Empty unless the line is a progress line with a positive total and a count not below 0.
std::optional<ProgressReport> parseProgressLine(std::string_view line);

// One RESULT record: its kind ("grid", "continuous", "R50", ...) and its fields as written.
struct ResultRecord {
    struct Field {
        std::string key;
        std::string value;
    };
    std::string kind;
    std::vector<Field> fields;

    void add(std::string key, double value, const char* printfFormat);
    // A field of free text: blanks, control characters and "%" are written as "%XX" (hexadecimal
    // byte), so that the value stays one word of the line.
    void addText(std::string key, std::string_view text);
    // The field's value when it is present and a finite number.
    std::optional<double> number(std::string_view key) const;
    // The field's text, "%XX" read back; empty when the field is missing or holds a broken "%".
    std::optional<std::string> text(std::string_view key) const;
};

// "RESULT <kind> key=value key=value" with its line end.
std::string resultLine(const ResultRecord& record);
// Empty unless the line is "RESULT", a kind and fields "key=value" separated by blanks.
std::optional<ResultRecord> parseResultLine(std::string_view line);

// The Beta model's parameters: "RESULT grid ..." on the 0.1 grid of the set-up window's scroll bars
// and box, "RESULT continuous ..." at the continuous optimum.
inline constexpr const char* GRID_KIND = "grid";
inline constexpr const char* CONTINUOUS_KIND = "continuous";
struct BetaParameters {
    double alpha = 0.0;  // the shape parameters of the Beta density
    double beta = 0.0;
    double maxEnergyMeV = 0.0;  // the upper end of the spectrum
    double rmsPercent = 0.0;    // rms of measured minus model, percent of the maximum
};
ResultRecord betaParametersRecord(const char* kind, const BetaParameters& parameters);
// Empty unless the record is of that kind and holds all four numbers.
std::optional<BetaParameters> betaParameters(const ResultRecord& record, std::string_view kind);

// A range level of the measurement against the model: "RESULT R50 measured=30.535 grid=30.425 ...".
// `modelKeys` name the model's columns in order ("grid", "continuous" for the Beta model, "free",
// "window" for the free-form model); a level that was not found is written "nan".
struct LevelComparison {
    RangeLevel level = RangeLevel::R50;
    std::optional<double> measuredMm;
    std::vector<std::optional<double>> modelMm;  // in the order of the keys
};
ResultRecord levelRecord(const LevelComparison& comparison, const std::vector<std::string>& modelKeys);
// Empty unless the record names a level and holds the measured value and every model key; a value
// written "nan" reads as empty.
std::optional<LevelComparison> levelComparison(const ResultRecord& record, const std::vector<std::string>& modelKeys);

// The free-form model: "RESULT free rms=0.4123 emax=11.2 mean=8.731 peak=9.184 background=1.850
// smooth=3.1623e-04", then "RESULT R90 measured=26.310 free=26.400 window=26.450" and so on, where
// `free` is the model sampled at the measured depths and `window` the model's 1 mm curve as the
// comparison window will search the confirming run.
inline constexpr const char* FREE_KIND = "free";
inline constexpr const char* FREE_MODEL_KEY = "free";
inline constexpr const char* WINDOW_KEY = "window";
struct FreeSummary {
    double rmsPercent = 0.0;         // rms of measured minus model, percent of the maximum
    double maxEnergyMeV = 0.0;       // energy of bin 100
    double meanEnergyMeV = 0.0;      // of the electrons' spectrum
    double peakEnergyMeV = 0.0;      // its most probable energy
    double backgroundPercent = 0.0;  // Dx: the background at Rp in percent of the maximum
    double smooth = 0.0;             // strength of the smoothness penalty
    // How the strength was found, "evidence" or "given" ("smooth-by="), and the noise of the readings
    // the fit found at it in percent of the maximum ("noise="); empty in output that lacks them.
    std::string smoothBy;
    std::optional<double> noisePercent;
};
ResultRecord freeSummaryRecord(const FreeSummary& summary);
std::optional<FreeSummary> freeSummary(const ResultRecord& record);

// The model's spectrum: "RESULT spectrum weights=0,0,...,0.5432,1,..." with the relative weights of
// bins 1..100 (largest 1, four significant digits), bin j at j/100 of the summary's emax.
// The spectrum the simulators are to run comes in the same form as "RESULT run-spectrum weights=...":
// the model's own without a background, refitted without it when one was fitted.
inline constexpr const char* SPECTRUM_KIND = "spectrum";
inline constexpr const char* RUN_SPECTRUM_KIND = "run-spectrum";
inline constexpr std::size_t FREE_SPECTRUM_BINS = 100;
using FreeSpectrumWeights = std::array<double, FREE_SPECTRUM_BINS>;
ResultRecord freeSpectrumRecord(const FreeSpectrumWeights& relativeWeight, const char* kind = SPECTRUM_KIND);
std::optional<FreeSpectrumWeights> freeSpectrum(const ResultRecord& record, std::string_view kind = SPECTRUM_KIND);

// A fit without a background says why: "RESULT no-background reason=the%20dose%20beyond...".
inline constexpr const char* NO_BACKGROUND_KIND = "no-background";
ResultRecord noBackgroundRecord(std::string_view reason);
std::optional<std::string> noBackgroundReason(const ResultRecord& record);

// The free-form model's uncertainty: "RESULT interval quantity=R50 value=30.412 low=30.301
// high=30.530 level=0.95", one line per quantity (mean and peak energy in MeV, R90..R10 in mm), and
// "RESULT spectrum-band low=w1,...,w100 high=w1,...,w100" normalised like the spectrum.
inline constexpr const char* INTERVAL_KIND = "interval";
inline constexpr const char* SPECTRUM_BAND_KIND = "spectrum-band";
inline constexpr std::array<const char*, 6> INTERVAL_QUANTITIES = {"mean", "peak", "R90", "R80", "R50", "R10"};
struct IntervalReport {
    std::string quantity;  // one of INTERVAL_QUANTITIES
    double value = 0.0;
    double low = 0.0;
    double high = 0.0;
    double level = 0.95;
};
ResultRecord intervalRecord(const IntervalReport& interval);
// Empty unless the record names a known quantity and holds four finite numbers with low <= high.
std::optional<IntervalReport> intervalReport(const ResultRecord& record);

struct SpectrumBand {
    FreeSpectrumWeights low{};
    FreeSpectrumWeights high{};
};
ResultRecord spectrumBandRecord(const SpectrumBand& band);
std::optional<SpectrumBand> spectrumBand(const ResultRecord& record);

struct FreeFitOutput {
    FreeSummary summary;
    FreeSpectrumWeights spectrum{};                             // as drawn: the model's electrons
    FreeSpectrumWeights runSpectrum{};                          // for the simulators' exchange files
    std::optional<std::string> noBackgroundReason;              // set when no background was fitted
    std::array<LevelComparison, RANGE_LEVELS.size()> levels{};  // in the order of RANGE_LEVELS; keys free, window
    std::vector<IntervalReport> intervals;                      // as they came; none after --no-uncertainty
    std::optional<SpectrumBand> band;
};
// The whole output of a free-form run, other lines passed over: empty unless it holds the summary,
// both spectra and all four level lines.
std::optional<FreeFitOutput> parseFreeFitOutput(std::string_view output);

}  // namespace beamdata
