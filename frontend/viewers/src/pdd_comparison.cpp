#include "viewers/pdd_comparison.h"

#include <cmath>
#include <string>

#include "common/free_format.h"
#include "common/number_pattern.h"
#include "common/text_value.h"

namespace orvalis::viewers {
namespace {

// p(k): the dose of entry k relative to the maximum.
double relative(ConstPddSpan dose, double maxDose, int k) { return dose[static_cast<std::size_t>(k)] / maxDose; }

double at(ConstPddSpan table, int k) { return table[static_cast<std::size_t>(k)]; }

// Index of the first entry, counted down from `start`, whose relative dose is strictly above the
// level; nullopt when the search runs below index 0.
std::optional<int> lastIndexAbove(ConstPddSpan dose, double maxDose, double level, int start) {
    int i = start;
    while (relative(dose, maxDose, i) <= level) {
        --i;
        if (i < 0) return std::nullopt;
    }
    return i;
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
        const std::optional<double> rangeMm = search(levelFraction(level));
        if (!rangeMm) return;
        load.ranges.push_back({level, *rangeMm});
    }
    load.ok = true;
}

}  // namespace

double levelFraction(RangeLevel level) {
    switch (level) {
    case RangeLevel::R50: return 0.5;
    case RangeLevel::R80: return 0.8;
    case RangeLevel::R90: return 0.9;
    case RangeLevel::R10: return 0.1;
    }
    return 0.0;
}

double pddMaximum(ConstPddSpan dose, int count) {
    double maxDose = 0.0;
    for (int i = 1; i <= count; ++i)
        if (at(dose, i) > maxDose) maxDose = at(dose, i);
    return maxDose;
}

std::optional<double> calculatedRangeMm(ConstPddSpan dose, double maxDose, double level) {
    if (!(maxDose > 0.0)) return std::nullopt;
    const std::optional<int> found = lastIndexAbove(dose, maxDose, level, CALCULATED_RECORD_COUNT);
    if (!found) return std::nullopt;
    const int i = *found;
    const double denominator = relative(dose, maxDose, i + 1) - relative(dose, maxDose, i);
    if (denominator == 0.0) return std::nullopt;
    const double x = (i + 1) - (relative(dose, maxDose, i + 1) - level) / denominator;
    return finiteOrNothing(x - CALCULATED_DEPTH_OFFSET);
}

std::optional<double> measuredRangeMm(ConstPddSpan depth, ConstPddSpan dose, double maxDose, double level) {
    if (!(maxDose > 0.0)) return std::nullopt;
    const std::optional<int> found = lastIndexAbove(dose, maxDose, level, PDD_TABLE_LAST);
    if (!found || *found == PDD_TABLE_LAST) return std::nullopt;  // the crossing would need entry 151
    const int i = *found;
    const double denominator = relative(dose, maxDose, i + 1) - relative(dose, maxDose, i);
    if (denominator == 0.0) return std::nullopt;
    const double rangeMm = at(depth, i + 1) -
                           (at(depth, i + 1) - at(depth, i)) * (relative(dose, maxDose, i + 1) - level) / denominator;
    return finiteOrNothing(rangeMm);
}

PddLoad loadCalculatedPdd(std::string_view text, PddSpan dose) {
    PddLoad load;
    text::FieldReader reader{std::string(text), text::JoinedNumbers::Split};
    if (!reader.readLine() || !reader.readLine()) return load;
    for (int i = 1; i <= CALCULATED_RECORD_COUNT; ++i) {
        if (!reader.readNumber()) return load;  // the depth, read and discarded
        const std::optional<double> value = reader.readNumber();
        if (!value) return load;
        dose[static_cast<std::size_t>(i)] = *value;
        load.recordCount = i;
    }
    const double maxDose = pddMaximum(dose, CALCULATED_RECORD_COUNT);
    load.maxDose = maxDose;
    if (!(maxDose > 0.0)) return load;
    const std::array<double, PDD_TABLE_LAST + 1> noDepths{};  // the depths of a calculated file are its labels
    if (!soundCurve(ConstPddSpan(noDepths), dose, maxDose, CALCULATED_RECORD_COUNT)) return load;
    load.curveDrawn = true;
    searchRanges(load, [&](double level) { return calculatedRangeMm(dose, maxDose, level); });
    return load;
}

PddLoad loadMeasuredPdd(std::string_view text, PddSpan depth, PddSpan dose) {
    PddLoad load;
    text::FieldReader reader{std::string(text)};
    if (!reader.readLine()) return load;
    int i = 1;
    while (!reader.atEnd()) {
        if (i > MEASURED_RECORDS_MAX) return load;
        const std::optional<double> depthMm = reader.readNumber();
        if (!depthMm) return load;
        depth[static_cast<std::size_t>(i)] = *depthMm;
        const std::optional<double> value = reader.readNumber();
        if (!value) return load;
        dose[static_cast<std::size_t>(i)] = *value;
        load.recordCount = i;
        ++i;
    }
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
        points.push_back(
            {PLOT_UNITS_PER_MM * (i - CALCULATED_DEPTH_OFFSET), PLOT_UNITS_PER_DOSE * relative(dose, maxDose, i)});
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
    const int k = depthMm + CALCULATED_DEPTH_OFFSET;
    if (!(maxDose > 0.0) || k < 0 || k > PDD_TABLE_LAST) return std::nullopt;
    return finiteOrNothing(100.0 * at(dose, k) / maxDose);
}

std::string rangeText(double rangeMm) { return formatNumber(rangeMm, "##0.00"); }

std::string differenceText(std::string_view measuredText, std::string_view calculatedText) {
    return formatNumber(std::fabs(textValue(measuredText) - textValue(calculatedText)), "##0.00");
}

const std::array<PlotLabel, 12> WINDOW_PLOT_LABELS = {{
    {"0", 0, -20},
    {"25", 2400, -20},
    {"50", 4900, -20},
    {"75", 7350, -20},
    {"100", 9600, -20},
    {"Depth in water (mm)", 5400, -70},
    {"100", -500, 1020},
    {"90", -390, 920},
    {"80", -390, 820},
    {"50", -390, 520},
    {"10", -390, 120},
    {"0", -250, 25},
}};

const std::array<PlotLabel, 12> MAIN_MENU_PLOT_LABELS = {{
    {"0", -30, -20},
    {"25", 2350, -20},
    {"50", 4850, -20},
    {"75", 7300, -20},
    {"100", 9500, -20},
    {"Depth in water (mm)", 5400, -70},
    {"100", -600, 1020},
    {"90", -450, 920},
    {"80", -450, 820},
    {"50", -450, 520},
    {"10", -450, 120},
    {"0", -350, 25},
}};

}  // namespace orvalis::viewers
