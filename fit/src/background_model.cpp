#include "fit/background_model.h"

#include "engine/run_error.h"

#include <algorithm>
#include <cstdio>

namespace fit {

namespace {

// Bounds of the relative slope, in units of 1/Rp.
constexpr double STEEPEST_FALL = 1.0;
constexpr double STEEPEST_RISE = 0.5;

std::string millimetres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f mm", value);
    return text;
}

}  // namespace

double BackgroundLine::shapeAt(double depthMm) const {
    return std::max(0.0, 1.0 + relativeSlopePerMm * (depthMm - practicalRangeMm));
}

std::optional<BackgroundLine> backgroundLine(const MeasuredCurve& curve, double practicalRangeMm, BackgroundMode mode,
                                             const std::string& fileName) {
    if (mode == BackgroundMode::Off) return std::nullopt;
    const double reachMm = curve.depthMm.back() - practicalRangeMm;
    std::vector<std::size_t> tail;
    for (std::size_t i = 0; i < curve.depthMm.size(); ++i)
        if (curve.depthMm[i] >= practicalRangeMm + TAIL_START_MM) tail.push_back(i);
    if (reachMm < BACKGROUND_REACH_MM || tail.empty()) {
        if (mode == BackgroundMode::Automatic) return std::nullopt;
        throw engine::RunError(fileName, 0,
                               "ends " + millimetres(reachMm) + " beyond the practical range " +
                                   millimetres(practicalRangeMm) + ": a background needs a tail of at least " +
                                   millimetres(BACKGROUND_REACH_MM));
    }
    BackgroundLine line;
    line.practicalRangeMm = practicalRangeMm;
    line.tailPoints = static_cast<int>(tail.size());
    if (tail.size() >= 2) {
        // Least-squares line through the tail, as height at Rp and slope.
        double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
        for (std::size_t i : tail) {
            const double x = curve.depthMm[i] - practicalRangeMm;
            sx += x;
            sy += curve.dose[i];
            sxx += x * x;
            sxy += x * curve.dose[i];
        }
        const double n = static_cast<double>(tail.size());
        const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        const double atRp = (sy - slope * sx) / n;
        line.heightAtRp = atRp;
        if (atRp > 0.0) line.relativeSlopePerMm = slope / atRp;
    } else {
        line.heightAtRp = curve.dose[tail.front()];
    }
    // A falling line (negative slope) is twice as high at the surface at most, a rising one half.
    line.relativeSlopePerMm = std::clamp(line.relativeSlopePerMm, -STEEPEST_FALL / practicalRangeMm,
                                         STEEPEST_RISE / practicalRangeMm);
    return line;
}

}  // namespace fit
