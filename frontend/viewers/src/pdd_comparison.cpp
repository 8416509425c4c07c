#include "viewers/pdd_comparison.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "beamdata/csv_measured_format.h"
#include "beamdata/depth_dose_file.h"
#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "engine/constants.h"
#include "engine/run_error.h"

namespace orvalis::viewers {
namespace {

double at(ConstPddSpan table, int k) { return table[static_cast<std::size_t>(k)]; }

// The dose of entry k relative to the maximum.
double relative(ConstPddSpan dose, double maxDose, int k) { return at(dose, k) / maxDose; }

// Every entry of the table relative to the maximum, so that the search can run over the whole table.
std::array<double, PDD_TABLE_LAST + 1> relativeTable(ConstPddSpan dose, double maxDose) {
    std::array<double, PDD_TABLE_LAST + 1> relative{};
    for (std::size_t k = 0; k < relative.size(); ++k) relative[k] = dose[k] / maxDose;
    return relative;
}

// No depth dose holds a negative dose larger than its maximum, and no water phantom is ten metres
// deep: such values come from a damaged file, and their curve would run far outside the plot.
constexpr double LOWEST_RELATIVE_DOSE = -1.0;
constexpr double DEPTH_LIMIT_MM = 10000.0;

bool soundCurve(ConstPddSpan depth, ConstPddSpan dose, double maxDose, int count) {
    for (int i = 1; i <= count; ++i) {
        if (!(relative(dose, maxDose, i) >= LOWEST_RELATIVE_DOSE)) return false;
        if (!(std::fabs(at(depth, i)) <= DEPTH_LIMIT_MM)) return false;
    }
    return true;
}

std::optional<double> finiteOrNothing(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

void searchRanges(PddLoad& load, const auto& search) {
    for (const RangeLevel level : RANGE_SEARCH_ORDER) {
        const std::optional<double> rangeMm = search(beamdata::levelFraction(level));
        if (!rangeMm) return;
        load.ranges.push_back({level, *rangeMm});
    }
    load.ok = true;
}

}  // namespace

std::size_t searchPosition(RangeLevel level) {
    return static_cast<std::size_t>(std::find(RANGE_SEARCH_ORDER.begin(), RANGE_SEARCH_ORDER.end(), level) -
                                    RANGE_SEARCH_ORDER.begin());
}

double pddMaximum(ConstPddSpan dose, int count) {
    double maxDose = 0.0;
    for (int i = 1; i <= count; ++i)
        if (at(dose, i) > maxDose) maxDose = at(dose, i);
    return maxDose;
}

std::optional<double> calculatedRangeMm(ConstPddSpan dose, double maxDose, double level) {
    if (!(maxDose > 0.0)) return std::nullopt;
    const auto relative = relativeTable(dose, maxDose);
    const auto crossing = beamdata::findLevelCrossing(relative, beamdata::DEPTH_DOSE_RECORDS, level);
    if (!crossing) return std::nullopt;
    return beamdata::crossingLabelDepthMm(*crossing, level, static_cast<int>(crossing->record) + 1);
}

std::optional<double> measuredRangeMm(ConstPddSpan depth, ConstPddSpan dose, double maxDose, double level) {
    if (!(maxDose > 0.0)) return std::nullopt;
    const auto relative = relativeTable(dose, maxDose);
    const auto crossing = beamdata::findLevelCrossing(relative, PDD_TABLE_LAST, level);
    if (!crossing) return std::nullopt;
    return beamdata::crossingDepthMm(*crossing, level, depth[crossing->record], depth[crossing->record + 1]);
}

PddLoad loadCalculatedPdd(std::string_view text, PddSpan dose) {
    PddLoad load;
    const beamdata::DepthDoseRecords records = beamdata::readDepthDoseText(text);
    for (std::size_t k = 0; k < records.dose.size(); ++k) dose[k + 1] = records.dose[k];
    load.recordCount = static_cast<int>(records.dose.size());
    if (!records.complete) return load;
    const double maxDose = pddMaximum(dose, beamdata::DEPTH_DOSE_RECORDS);
    load.maxDose = maxDose;
    if (!(maxDose > 0.0)) return load;
    const std::array<double, PDD_TABLE_LAST + 1> noDepths{};  // the depths of a calculated file are its labels
    if (!soundCurve(ConstPddSpan(noDepths), dose, maxDose, CALCULATED_RECORD_COUNT)) return load;
    load.curveDrawn = true;
    searchRanges(load, [&](double level) { return calculatedRangeMm(dose, maxDose, level); });
    return load;
}

PddLoad loadMeasuredPdd(std::string_view text, PddSpan depth, PddSpan dose) {
    // The records read before a fault stay in the tables, as far as the 150th.
    const beamdata::CsvReading reading = beamdata::readCsvRecords(text);
    PddLoad load;
    for (const beamdata::CsvRecord& record : reading.records) {
        if (load.recordCount == MEASURED_RECORDS_MAX) return load;
        ++load.recordCount;
        depth[static_cast<std::size_t>(load.recordCount)] = record.depthMm;
        dose[static_cast<std::size_t>(load.recordCount)] = record.value;
    }
    if (!reading.fault.empty()) {
        // A depth read before its dose failed stays in the depth table, as the record-by-record read left it.
        if (reading.depthWithoutValue && load.recordCount < MEASURED_RECORDS_MAX)
            depth[static_cast<std::size_t>(load.recordCount + 1)] = *reading.depthWithoutValue;
        return load;
    }
    return searchMeasured(load, depth, dose);
}

PddLoad loadMeasuredPoints(std::span<const double> depthMm, std::span<const double> value, PddSpan depth,
                           PddSpan dose) {
    PddLoad load;
    for (std::size_t k = 0; k < depthMm.size() && k < value.size(); ++k) {
        if (load.recordCount == MEASURED_RECORDS_MAX) return load;
        ++load.recordCount;
        depth[static_cast<std::size_t>(load.recordCount)] = depthMm[k];
        dose[static_cast<std::size_t>(load.recordCount)] = value[k];
    }
    return searchMeasured(load, depth, dose);
}

PddLoad searchMeasured(PddLoad load, ConstPddSpan depth, ConstPddSpan dose) {
    const double maxDose = pddMaximum(dose, load.recordCount);
    load.maxDose = maxDose;
    if (!(maxDose > 0.0) || !soundCurve(depth, dose, maxDose, load.recordCount)) return load;
    load.curveDrawn = true;
    searchRanges(load, [&](double level) { return measuredRangeMm(depth, dose, maxDose, level); });
    return load;
}

std::vector<PlotPoint> calculatedCurvePoints(ConstPddSpan dose, double maxDose) {
    std::vector<PlotPoint> points;
    points.push_back({0.5 * PLOT_UNITS_PER_MM, PLOT_UNITS_PER_DOSE * relative(dose, maxDose, 16)});
    for (int i = 17; i <= 115; ++i)
        points.push_back({PLOT_UNITS_PER_MM * (i - engine::DEPTH_LABEL_OFFSET_MM),
                          PLOT_UNITS_PER_DOSE * relative(dose, maxDose, i)});
    return points;
}

std::vector<PlotPoint> measuredCurvePoints(ConstPddSpan depth, ConstPddSpan dose, double maxDose, int count) {
    std::vector<PlotPoint> points;
    for (int i = 1; i <= count; ++i)
        points.push_back({PLOT_UNITS_PER_MM * at(depth, i), PLOT_UNITS_PER_DOSE * relative(dose, maxDose, i)});
    return points;
}

std::optional<int> readoutDepthMm(double plotX) {
    constexpr double FRAME_RIGHT = 10000.0;
    if (!(plotX > 0.0 && plotX < FRAME_RIGHT)) return std::nullopt;
    return static_cast<int>(std::floor(plotX * 0.01));
}

std::optional<double> readoutPercent(ConstPddSpan dose, double maxDose, int depthMm) {
    const int k = depthMm + engine::DEPTH_LABEL_OFFSET_MM;
    if (!(maxDose > 0.0) || k < 0 || k > PDD_TABLE_LAST) return std::nullopt;
    return finiteOrNothing(100.0 * at(dose, k) / maxDose);
}

std::string rangeText(double rangeMm) { return beamdata::formatNumber(rangeMm, "##0.00"); }

std::string differenceText(std::string_view measuredText, std::string_view calculatedText) {
    return beamdata::formatNumber(std::fabs(beamdata::textValue(measuredText) - beamdata::textValue(calculatedText)),
                                  "##0.00");
}

std::optional<beamdata::RangeLevels> calculatedRangeUncertainties(const std::filesystem::path& calculatedPath) {
    try {
        const auto sd = beamdata::readUncertaintyBeside(calculatedPath);
        if (!sd) return std::nullopt;
        const beamdata::DepthDoseRecords records = beamdata::readDepthDoseFile(calculatedPath);
        return beamdata::resultCurveLevelUncertainties(records.dose, sd->dose);
    } catch (const engine::RunError&) {
        return std::nullopt;
    }
}

std::string uncertaintyText(double sigmaMm) { return "\u00b1 " + beamdata::formatNumber(sigmaMm, "0.00"); }

bool differenceExceedsUncertainty(std::string_view measuredText, std::string_view calculatedText,
                                  std::optional<double> calculatedSigmaMm, double measuredSigmaMm) {
    if (!calculatedSigmaMm || measuredText.empty() || calculatedText.empty()) return false;
    const double combined = std::hypot(*calculatedSigmaMm, measuredSigmaMm);
    return beamdata::textValue(differenceText(measuredText, calculatedText)) > 2.0 * combined;
}

namespace {

// The texts of the empty plot: the depth axis (mm) below the frame, then the dose axis (%) beside it.
constexpr std::array<const char*, 12> PLOT_LABEL_TEXTS = {"0",   "25", "50", "75", "100", "Depth in water (mm)",
                                                          "100", "90", "80", "50", "10",  "0"};

struct LabelCorner {
    double x;
    double y;
};

std::array<PlotLabel, 12> labelsAt(const std::array<LabelCorner, 12>& corners) {
    std::array<PlotLabel, 12> labels{};
    for (std::size_t k = 0; k < labels.size(); ++k) labels[k] = {PLOT_LABEL_TEXTS[k], corners[k].x, corners[k].y};
    return labels;
}

}  // namespace

const std::array<PlotLabel, 12> WINDOW_PLOT_LABELS = labelsAt({{{0, -20},
                                                                {2400, -20},
                                                                {4900, -20},
                                                                {7350, -20},
                                                                {9600, -20},
                                                                {5400, -70},
                                                                {-500, 1020},
                                                                {-390, 920},
                                                                {-390, 820},
                                                                {-390, 520},
                                                                {-390, 120},
                                                                {-250, 25}}});

const std::array<PlotLabel, 12> MAIN_MENU_PLOT_LABELS = labelsAt({{{-30, -20},
                                                                   {2350, -20},
                                                                   {4850, -20},
                                                                   {7300, -20},
                                                                   {9500, -20},
                                                                   {5400, -70},
                                                                   {-600, 1020},
                                                                   {-450, 920},
                                                                   {-450, 820},
                                                                   {-450, 520},
                                                                   {-450, 120},
                                                                   {-350, 25}}});

}  // namespace orvalis::viewers
