#pragma once
// Loading a calculated or a measured depth-dose curve into the shared tables, and the depths at
// which each falls through 90, 80, 50 and 10 % of its maximum (R90, R80, R50, R10).
//
// Both loads write the same dose table, entry by entry as the file is read, so a load that fails
// half-way leaves what it had read; the window shows what the load had done before the failure.
#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/range_levels.h"

namespace orvalis::viewers {

constexpr int PDD_TABLE_LAST = 150;  // tables run from index 0 (never written) to 150
constexpr int MEASURED_RECORDS_MAX = 150;
constexpr int CALCULATED_RECORD_COUNT = 125;
constexpr double PLOT_UNITS_PER_MM = 100.0;     // plot x is hundredths of a millimetre
constexpr double PLOT_UNITS_PER_DOSE = 1000.0;  // plot y is tenths of a percent

using PddSpan = std::span<double, PDD_TABLE_LAST + 1>;
using ConstPddSpan = std::span<const double, PDD_TABLE_LAST + 1>;

// The curve that the comparison window loaded last, records 1..150 (index 0 is never written).
// A measured load fills both tables, a calculated load only the doses.
struct DepthDoseTables {
    std::array<double, PDD_TABLE_LAST + 1> dose{};     // as read, in the file's own unit
    std::array<double, PDD_TABLE_LAST + 1> depthMm{};  // measured loads only
    // The doses are a calculated curve: only then does the cursor read-out answer.
    bool calculatedCurveShown = false;
};

using beamdata::RangeLevel;
// The window searches the levels in this order and stops at the first that fails, so the order
// decides which ranges are shown.
constexpr std::array<RangeLevel, 4> RANGE_SEARCH_ORDER = {RangeLevel::R50, RangeLevel::R80, RangeLevel::R90,
                                                          RangeLevel::R10};
// Position of a level in RANGE_SEARCH_ORDER.
std::size_t searchPosition(RangeLevel level);

struct RangeResult {
    RangeLevel level;
    double rangeMm;
};

struct PddLoad {
    int recordCount = 0;              // records read: 125 for a calculated file, N for a measured one
    std::optional<double> maxDose;    // the new PddMax, set once every record was read
    bool curveDrawn = false;          // the maximum is above 0, so the curve can be drawn
    std::vector<RangeResult> ranges;  // found before any failure, in search order
    bool ok = false;                  // every step succeeded
};

// Calculated file: two header lines, then 125 pairs; the depth of each pair is discarded and the
// dose stored in dose(1..125). Entries 126 to 150 are left as they are. A curve with an absurd
// value (a dose below minus its maximum; for a measured file also a depth beyond 10 m) is not
// drawn and the load fails, like one whose maximum is 0.
PddLoad loadCalculatedPdd(std::string_view text, PddSpan dose);

// Measured file: a header line, then depth/dose pairs up to the end of the file, at most 150,
// into depth(1..N) and dose(1..N). The caller empties both tables first.
PddLoad loadMeasuredPdd(std::string_view text, PddSpan depth, PddSpan dose);

// Points of a water-tank curve (at most 150, depths increasing) loaded like the records of a
// measured file. The caller empties both tables first.
PddLoad loadMeasuredPoints(std::span<const double> depthMm, std::span<const double> value, PddSpan depth, PddSpan dose);

// The end of a measured load once its `load.recordCount` records are in the tables: the maximum
// and the range search.
PddLoad searchMeasured(PddLoad load, ConstPddSpan depth, ConstPddSpan dose);

// Largest of dose(1..count), starting from 0.
double pddMaximum(ConstPddSpan dose, int count);

// Calculated range in mm: from record 125 down to the first record strictly above the level, then
// linear interpolation of the record index against the next record (entry 126 unchanged at 125).
// nullopt on an arithmetic fault (a zero maximum, no record above the level, a zero denominator).
std::optional<double> calculatedRangeMm(ConstPddSpan dose, double maxDose, double level);

// Measured range in mm: from entry 150 down (the zeroed entries beyond the last record are passed
// over), then linear interpolation of the depth. nullopt when the crossing would need entry 151 or
// on an arithmetic fault.
std::optional<double> measuredRangeMm(ConstPddSpan depth, ConstPddSpan dose, double maxDose, double level);

struct PlotPoint {
    double x;
    double y;
};

// The calculated curve: record 16 at 0.5 mm, then records 17 to 115 at their depths, 0 to 1000 upwards.
std::vector<PlotPoint> calculatedCurvePoints(ConstPddSpan dose, double maxDose);

// The measured curve: records 1 to N at their depths.
std::vector<PlotPoint> measuredCurvePoints(ConstPddSpan depth, ConstPddSpan dose, double maxDose, int count);

// Cursor read-out: the whole millimetre under plot x, or nullopt outside 0 < x < 10000.
std::optional<int> readoutDepthMm(double plotX);

// Percent depth dose of the calculated record at depthMm (record depthMm + 15); nullopt when the
// maximum is not positive, the record is outside the table or the percentage is not finite.
std::optional<double> readoutPercent(ConstPddSpan dose, double maxDose, int depthMm);

// A range as the table shows it: "##0.00".
std::string rangeText(double rangeMm);

// Difference of a measured and a calculated range from the texts shown in their fields (so from
// the two-decimal values, or from what the user typed): |value(measured) - value(calculated)|,
// "##0.00". 12.35 and 12.34 give "0.01" whatever the unrounded depths were.
std::string differenceText(std::string_view measuredText, std::string_view calculatedText);

// The standard uncertainty (mm) of each calculated range, in the order of beamdata::RANGE_LEVELS,
// from the uncertainty file beside the calculated file (engine::uncertaintyFileName); empty when
// there is none, it belongs to another run, or either file cannot be read whole.
std::optional<beamdata::RangeLevels> calculatedRangeUncertainties(const std::filesystem::path& calculatedPath);

// A calculated range's standard uncertainty as its label beside the field shows it: "± 0.21".
std::string uncertaintyText(double sigmaMm);

// The difference as shown (differenceText of the two field texts) is larger than twice the
// combined standard uncertainty of the two ranges. A measured file states no uncertainty, so its
// part is 0 unless given; false when the calculated range has none.
bool differenceExceedsUncertainty(std::string_view measuredText, std::string_view calculatedText,
                                  std::optional<double> calculatedSigmaMm, double measuredSigmaMm = 0.0);

// An axis label of the empty plot, printed with its top-left corner at (x, y).
struct PlotLabel {
    const char* text;
    double x;
    double y;
};
// Labels of the window's own reset ("Graph clear").
extern const std::array<PlotLabel, 12> WINDOW_PLOT_LABELS;
// Labels of the main menu's reset: the same texts, set a little further out.
extern const std::array<PlotLabel, 12> MAIN_MENU_PLOT_LABELS;

}  // namespace orvalis::viewers
