#include "beamdata/curve_plausibility.h"

#include "beamdata/text_value.h"

#include <algorithm>
#include <cstdio>

namespace beamdata {
namespace {

std::string shortNumber(double value) { return printfNumber("%.4g", value); }

// The first point, after the dose has fallen below half of the maximum before it, that rises above
// that maximum: a second peak, not noise in a tail or a bremsstrahlung background.
std::optional<std::size_t> secondMaximum(std::span<const double> value) {
    double largest = value.front();
    bool fallen = false;
    for (std::size_t k = 1; k < value.size(); ++k) {
        if (fallen && value[k] > largest) return k;
        largest = std::max(largest, value[k]);
        fallen = fallen || (largest > 0.0 && value[k] < largest * FALL_OFF_PERCENT / 100.0);
    }
    return std::nullopt;
}

}  // namespace

std::optional<CurveRefusal> curveRefusal(std::span<const double> depthMm, std::span<const double> value,
                                         DepthUnit unit) {
    const std::size_t n = std::min(depthMm.size(), value.size());
    if (n < PLAUSIBLE_POINTS_MIN)
        return CurveRefusal{Implausibility::TooFewPoints, std::to_string(n) + (n == 1 ? " point" : " points") +
                                                              ", fewer than " + std::to_string(PLAUSIBLE_POINTS_MIN) +
                                                              ": too few for a depth-dose curve"};
    depthMm = depthMm.first(n);
    value = value.first(n);
    const auto peak = static_cast<std::size_t>(std::max_element(value.begin(), value.end()) - value.begin());
    const double deepest = *std::max_element(depthMm.begin(), depthMm.end());
    const double fallOff = depthMm.back() - depthMm[peak];
    if (unit == DepthUnit::Mm && deepest < CM_DEPTHS_BELOW && fallOff < CM_DEPTHS_BELOW)
        return CurveRefusal{Implausibility::DepthsLookLikeCm, "depths look like cm (all below " +
                                                                  shortNumber(CM_DEPTHS_BELOW) + ", a fall-off of " +
                                                                  shortNumber(fallOff) + " units after the maximum)"};
    if (const std::optional<std::size_t> second = secondMaximum(value))
        return CurveRefusal{Implausibility::SecondMaximum,
                            "a second maximum (" + shortNumber(value[*second]) + " at " +
                                shortNumber(depthMm[*second]) +
                                " mm) higher than the dose before it, after a fall-off below 50 %: not one "
                                "depth-dose curve"};
    return std::nullopt;
}

void applyDepthUnit(DepthScan& scan, DepthUnit unit) {
    if (unit != DepthUnit::Cm) return;
    for (double& depth : scan.depthMm) depth *= 10.0;
}

std::string refusalMessage(const std::string& fileName, std::optional<int> scan, const CurveRefusal& refusal,
                           const std::string& cmHint) {
    std::string message = fileName;
    if (scan) message += ", depth curve " + std::to_string(*scan);
    message += ": " + refusal.reason;
    if (refusal.kind == Implausibility::DepthsLookLikeCm && !cmHint.empty()) message += "; " + cmHint;
    return message;
}

std::optional<DepthUnit> depthUnitFromWord(const std::string& word) {
    if (word == "mm") return DepthUnit::Mm;
    if (word == "cm") return DepthUnit::Cm;
    return std::nullopt;
}

}  // namespace beamdata
