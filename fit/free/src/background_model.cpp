#include "fit/background_model.h"

#include "engine/run_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace fit {

namespace {

// The tail beyond Rp is photons: it falls with depth no faster than a narrow beam of 2 MeV photons is
// attenuated in water (0.49 %/mm; the bremsstrahlung of 6-20 MeV beams is harder and broad, so
// slower), and it does not rise. A steeper fit is the end of the electrons' fall-off or noise.
constexpr double STEEPEST_RELATIVE_FALL_PER_MM = 0.005;
// What photons can give beyond Rp: a tail higher than this fraction of the maximum, or falling
// faster than this (four times the bound above, leaving room for noise and the electrons' own foot),
// is the fall-off of more electrons (a second peak of the spectrum), not a background.
constexpr double HIGHEST_PHOTON_FRACTION = 0.10;
constexpr double STEEPEST_PHOTON_TAIL_PER_MM = 0.02;
// Build-up of the photon dose under the surface: this fraction of the line is missing at the surface,
// recovered over BUILD_UP_LENGTH x Rp (see backgroundLine).
constexpr double BUILD_UP_DEFICIT = 0.5;
constexpr double BUILD_UP_LENGTH = 0.3;

std::string millimetres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f mm", value);
    return text;
}

std::string percent(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", value);
    return text;
}

// Why the measured tail is no photon background, or empty when it may be one.
std::string notPhotons(const BackgroundLine& line, double largestDose) {
    const double height = 100.0 * line.heightAtRp / largestDose;
    if (line.heightAtRp > HIGHEST_PHOTON_FRACTION * largestDose)
        return "the dose beyond the practical range, " + percent(height) + " of the maximum, is more than photons give";
    if (line.relativeSlopePerMm < -STEEPEST_PHOTON_TAIL_PER_MM)
        return "the dose beyond the practical range falls by " + percent(-100.0 * line.relativeSlopePerMm) +
               " per mm, faster than photons";
    return "";
}

}  // namespace

double BackgroundLine::lineAt(double depthMm) const {
    return std::max(0.0, 1.0 + relativeSlopePerMm * (depthMm - practicalRangeMm));
}

double BackgroundLine::buildUpAt(double depthMm) const {
    const double length = BUILD_UP_LENGTH * practicalRangeMm;
    return (1.0 - BUILD_UP_DEFICIT * std::exp(-std::max(depthMm, 0.0) / length)) /
           (1.0 - BUILD_UP_DEFICIT * std::exp(-practicalRangeMm / length));
}

double BackgroundLine::shapeAt(double depthMm) const { return lineAt(depthMm) * buildUpAt(depthMm); }

std::optional<BackgroundLine> backgroundLine(const MeasuredCurve& curve, double practicalRangeMm, BackgroundMode mode,
                                             const std::string& fileName, std::string* whyNone) {
    if (mode == BackgroundMode::Off) return std::nullopt;
    const double reachMm = curve.depthMm.back() - practicalRangeMm;
    std::vector<std::size_t> tail;
    for (std::size_t i = 0; i < curve.depthMm.size(); ++i)
        if (curve.depthMm[i] >= practicalRangeMm + TAIL_START_MM) tail.push_back(i);
    if (reachMm < BACKGROUND_REACH_MM || tail.empty()) {
        if (mode == BackgroundMode::Automatic) {
            if (whyNone)
                *whyNone = "the measurement ends less than " + millimetres(BACKGROUND_REACH_MM) +
                           " beyond the practical range";
            return std::nullopt;
        }
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
    if (mode == BackgroundMode::Automatic) {
        const std::string doubt = notPhotons(line, *std::max_element(curve.dose.begin(), curve.dose.end()));
        if (!doubt.empty()) {
            if (whyNone) *whyNone = doubt;
            return std::nullopt;
        }
    }
    line.relativeSlopePerMm = std::clamp(line.relativeSlopePerMm, -STEEPEST_RELATIVE_FALL_PER_MM, 0.0);
    return line;
}

}  // namespace fit
