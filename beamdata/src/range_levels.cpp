#include "beamdata/range_levels.h"

#include "engine/constants.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace beamdata {

namespace {

std::optional<double> finiteOrNothing(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

const char* levelName(RangeLevel level) {
    switch (level) {
    case RangeLevel::R90: return "R90";
    case RangeLevel::R80: return "R80";
    case RangeLevel::R50: return "R50";
    case RangeLevel::R10: return "R10";
    }
    return "";
}

std::size_t levelIndex(RangeLevel level) {
    return static_cast<std::size_t>(std::find(RANGE_LEVELS.begin(), RANGE_LEVELS.end(), level) - RANGE_LEVELS.begin());
}

std::optional<LevelCrossing> findLevelCrossing(std::span<const double> relative, std::size_t from, double level) {
    if (from >= relative.size()) return std::nullopt;
    std::size_t i = from;
    while (relative[i] <= level) {
        if (i == 0) return std::nullopt;
        --i;
    }
    if (i + 1 >= relative.size()) return std::nullopt;  // the crossing would need a record beyond the curve
    const LevelCrossing crossing{i, relative[i], relative[i + 1]};
    if (crossing.relativeNext - crossing.relativeHere == 0.0) return std::nullopt;
    return crossing;
}

std::optional<double> crossingDepthMm(const LevelCrossing& c, double level, double depthHereMm, double depthNextMm) {
    const double denominator = c.relativeNext - c.relativeHere;
    return finiteOrNothing(depthNextMm - (depthNextMm - depthHereMm) * (c.relativeNext - level) / denominator);
}

std::optional<double> crossingLabelDepthMm(const LevelCrossing& c, double level, int nextRecordNumber) {
    const double denominator = c.relativeNext - c.relativeHere;
    const double position = nextRecordNumber - (c.relativeNext - level) / denominator;
    return finiteOrNothing(position - engine::DEPTH_LABEL_OFFSET_MM);
}

RangeLevels resultCurveLevels(std::span<const double> relative) {
    RangeLevels levels{};
    if (relative.empty()) return levels;
    for (const RangeLevel level : RANGE_LEVELS) {
        const double fraction = levelFraction(level);
        if (const auto crossing = findLevelCrossing(relative, relative.size() - 1, fraction))
            levels[levelIndex(level)] = crossingLabelDepthMm(*crossing, fraction,
                                                             static_cast<int>(crossing->record) + 2);
    }
    return levels;
}

RangeLevels resultCurveLevelUncertainties(std::span<const double> relative, std::span<const double> sd) {
    RangeLevels sigmas{};
    if (relative.empty() || sd.size() != relative.size()) return sigmas;
    for (const RangeLevel level : RANGE_LEVELS) {
        const double fraction = levelFraction(level);
        const auto crossing = findLevelCrossing(relative, relative.size() - 1, fraction);
        if (!crossing) continue;
        // Records one label apart. The slope over the pair alone carries the noise of two records
        // in a difference of a few percent; over the record before and the one after the pair
        // (3 mm) it is three times steadier, and where those are missing the pair gives it.
        const std::size_t here = crossing->record;
        const double slopePerMm = here >= 1 && here + 2 < relative.size()
                                      ? (relative[here + 2] - relative[here - 1]) / 3.0
                                      : crossing->relativeNext - crossing->relativeHere;
        const double towardNext = (crossing->relativeHere - fraction) /
                                  (crossing->relativeHere - crossing->relativeNext);
        const double sdHere = sd[crossing->record];
        const double sdAtLevel = sdHere + towardNext * (sd[crossing->record + 1] - sdHere);
        sigmas[levelIndex(level)] = finiteOrNothing(sdAtLevel / std::abs(slopePerMm));
    }
    return sigmas;
}

namespace {

std::optional<double> curveCrossingMm(std::span<const double> depthMm, std::span<const double> relative,
                                      double fraction) {
    const auto crossing = findLevelCrossing(relative, relative.size() - 1, fraction);
    if (!crossing) return std::nullopt;
    return crossingDepthMm(*crossing, fraction, depthMm[crossing->record], depthMm[crossing->record + 1]);
}

// The values relative to the largest; empty when there is no positive value or the sizes differ.
std::vector<double> relativeToLargest(std::span<const double> depthMm, std::span<const double> value) {
    if (value.empty() || depthMm.size() != value.size()) return {};
    const double largest = *std::max_element(value.begin(), value.end());
    if (!(largest > 0.0)) return {};
    std::vector<double> relative(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) relative[i] = value[i] / largest;
    return relative;
}

}  // namespace

RangeLevels curveLevels(std::span<const double> depthMm, std::span<const double> dose) {
    RangeLevels levels{};
    const std::vector<double> relative = relativeToLargest(depthMm, dose);
    if (relative.empty()) return levels;
    for (const RangeLevel level : RANGE_LEVELS)
        levels[levelIndex(level)] = curveCrossingMm(depthMm, relative, levelFraction(level));
    return levels;
}

double levelDepthMm(std::span<const double> depthMm, std::span<const double> value, double fraction) {
    const std::vector<double> relative = relativeToLargest(depthMm, value);
    if (relative.empty()) return std::numeric_limits<double>::quiet_NaN();
    return curveCrossingMm(depthMm, relative, fraction).value_or(std::numeric_limits<double>::quiet_NaN());
}

}  // namespace beamdata
