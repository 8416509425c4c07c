#pragma once
// Water-tank files in the comparison window, without widgets: telling them from the CSV layout,
// the rows of the chooser, a long curve resampled onto the window's 150 depths with its shape
// kept, the note the window shows, and the rows of the beam-quality table.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/beam_quality.h"
#include "beamdata/measured_curve_file.h"
#include "beamdata/range_levels.h"
#include "viewers/pdd_comparison.h"

namespace orvalis::viewers {

// True for a water-tank export (mcc, RFA300, w2CAD); a CSV file keeps the window's own load.
bool isWaterTankText(std::string_view text);

// True for a name with a water-tank export's extension: ".mcc", ".asc", ".txt" or ".cdp", in any
// letter case.
bool hasWaterTankExtension(std::string_view fileName);

// Why a file under a water-tank extension cannot be read, as the measured reader (and
// orvalis-quality) says it: "bad-empty.mcc, line 1: the file is empty". Nothing for another
// extension, or for a text the reader accepts; text is empty when the file could not be read.
std::optional<std::string> waterTankReadError(const std::optional<std::string>& text, const std::string& fileName);

// One row per depth curve: "9 MeV, 100 x 100 mm, SSD 1000 mm, Semiflex, ionisation → dose (412 points)".
std::vector<std::string> scanChoiceRows(const beamdata::MeasuredFile& file);

struct ResampledCurve {
    std::vector<double> depthMm;
    std::vector<double> value;
    std::size_t originalCount = 0;
    double largestDeparturePercent = 0.0;  // of the resampled polyline from a left-out point
};

// At most maxPoints of the curve's own points: the first, the last and the largest, then always
// the point that lies farthest (in percent of the maximum) from the line through the points kept
// so far, so that the peak, the shoulder and the fall-off keep their shape.
ResampledCurve resampleKeepingShape(std::span<const double> depthMm, std::span<const double> value,
                                    std::size_t maxPoints = MEASURED_RECORDS_MAX);

// What the window says under the plot about a loaded water-tank curve.
std::string measuredNote(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                         const ResampledCurve& curve);

// The calculated curve as the plot places it: record 16 at 0.5 mm, records 17 to 125 at 2 to 110 mm.
void calculatedCurvePoints(ConstPddSpan dose, std::vector<double>& depthMm, std::vector<double>& value);

struct QualityRow {
    std::string figure;  // "R50 (mm)"
    std::string measured;
    std::string calculated;
    std::string difference;  // measured - calculated, when both are known
};
// With the calculated ranges' standard uncertainties (mm, in the order of beamdata::RANGE_LEVELS),
// the calculated R90, R80 and R50 read "23.68 ± 0.21".
std::vector<QualityRow> qualityRows(const std::optional<beamdata::BeamQuality>& measured,
                                    const std::optional<beamdata::BeamQuality>& calculated,
                                    const std::optional<beamdata::RangeLevels>& calculatedSigmaMm = std::nullopt);

}  // namespace orvalis::viewers
