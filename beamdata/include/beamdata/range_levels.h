#pragma once
// R90, R80, R50 and R10: the depths where a depth dose falls through 90, 80, 50 and 10 % of its
// maximum on its deep side. The search runs from the deep end towards the surface to the first
// record strictly above the level, and the crossing is interpolated linearly between that record
// and the next deeper one; both the comparison window and the fit use it.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace beamdata {

enum class RangeLevel { R90, R80, R50, R10 };
inline constexpr std::array<RangeLevel, 4> RANGE_LEVELS = {RangeLevel::R90, RangeLevel::R80, RangeLevel::R50,
                                                           RangeLevel::R10};

constexpr double levelFraction(RangeLevel level) {
    switch (level) {
    case RangeLevel::R90: return 0.9;
    case RangeLevel::R80: return 0.8;
    case RangeLevel::R50: return 0.5;
    case RangeLevel::R10: return 0.1;
    }
    return 0.0;
}
const char* levelName(RangeLevel level);   // "R90", ...
std::size_t levelIndex(RangeLevel level);  // position in RANGE_LEVELS

// The record found by the search, and the relative doses of it and of the next deeper record.
struct LevelCrossing {
    std::size_t record = 0;  // index into the searched doses; record + 1 is the next deeper one
    double relativeHere = 0.0;
    double relativeNext = 0.0;
};

// Searches relative[from], relative[from - 1], ... for the first value strictly above `level`.
// Empty when none is, when the next deeper record lies outside `relative`, or when the two records
// hold the same dose (no crossing between them).
std::optional<LevelCrossing> findLevelCrossing(std::span<const double> relative, std::size_t from, double level);

// The crossing's depth in mm on a curve with its own depths: linear between the two records.
std::optional<double> crossingDepthMm(const LevelCrossing& crossing, double level, double depthHereMm,
                                      double depthNextMm);

// The crossing's depth in mm on a simulator result, whose record number n (1..125) stands at its
// label depth n - 15 mm; `nextRecordNumber` is the number of the deeper record of the pair.
std::optional<double> crossingLabelDepthMm(const LevelCrossing& crossing, double level, int nextRecordNumber);

// Depths in mm in the order of RANGE_LEVELS; empty where the curve never falls through a level.
using RangeLevels = std::array<std::optional<double>, RANGE_LEVELS.size()>;

// A simulator result: 125 relative doses of records 1..125 (the slabs in front of the surface
// included). A level that the last record still exceeds has no crossing.
RangeLevels resultCurveLevels(std::span<const double> relative);

// The standard uncertainty (mm) of each level of a simulator result, from the standard uncertainty
// `sd` of its relative doses (the same unit, record for record): sigma_R = sigma_D(R) / |dD/dz|,
// sigma_D linear between the two records of the crossing, the slope over the 3 mm from the record
// before them to the one after them (between the two alone at the ends of the curve).
// Empty where the level has no crossing or `sd` does not match the curve.
RangeLevels resultCurveLevelUncertainties(std::span<const double> relative, std::span<const double> sd);

// A curve with its own depths (mm, increasing) and doses in any unit, taken relative to its largest
// dose. A level that the last record still exceeds has no crossing.
RangeLevels curveLevels(std::span<const double> depthMm, std::span<const double> dose);

// The same search for any fraction of the largest value (I50 of an ionisation curve, the 20 % and
// 80 % of a fall-off): the depth in mm, NaN where the curve never falls through it.
double levelDepthMm(std::span<const double> depthMm, std::span<const double> value, double fraction);

}  // namespace beamdata
