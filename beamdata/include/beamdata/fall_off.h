#pragma once
// The distal fall-off of an electron depth dose, owned in one place: the tangent at its steepest
// point, the practical range Rp where that tangent meets the bremsstrahlung background, Rq where it
// meets 100 %, and the background line and Dx (the background at Rp). The level crossings (R90 ...
// R10) are beamdata/range_levels.h's.
//
// One method at every scan step: the fall-off is described by a smooth model, fitted to the points
// around the steepest descent, and the tangent is the model's. The model is a background line plus
// a falling step whose slope is a Gaussian with one width on the shallow side and another on the deep
// side, so that it follows the long shoulder and the shorter toe of a real fall-off. The points of
// the steep middle (80 to 20 %) weigh most, so that they set the tangent. Between fine steps the
// model passes through the points; across coarse steps the fall-off is first filled in between the
// readings by a monotone cubic and the model fitted to it as to a fine scan, so Rp does not move
// with the scan step.
#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace beamdata {

struct Tangent {
    double depthMm = 0.0;     // the steepest point of the fall-off
    double percent = 0.0;     // the model's dose there
    double slopePerMm = 0.0;  // percent per mm, negative
};

struct Background {
    double interceptPercent = 0.0;  // at depth 0
    double slopePerMm = 0.0;
    // Tail points it was fitted to; 0: no tail measured, taken as 0. A level (slope 0) unless they
    // span 30 mm or more.
    int points = 0;
    double atMm(double depthMm) const { return interceptPercent + slopePerMm * depthMm; }
};

// The fitted fall-off: background(z) + amplitude x step(z), the step falling from 1 to 0 with its
// steepest point at `centreMm`; its slope is a Gaussian of width `shallowWidthMm` before the centre
// and `deepWidthMm` beyond.
struct FallOffModel {
    double amplitudePercent = 0.0;
    double centreMm = 0.0;
    double shallowWidthMm = 0.0;
    double deepWidthMm = 0.0;
    double stepAt(double depthMm) const;  // 1 before the fall-off, 0 beyond it
};

struct FallOff {
    FallOffModel model;
    Background background;
    Tangent tangent;
    double rpMm = 0.0;                   // the tangent meets the background
    double rqMm = 0.0;                   // the tangent meets 100 %
    double firstMm = 0.0, lastMm = 0.0;  // the depths of the points the model was fitted to
    double percentAt(double depthMm) const {
        return background.atMm(depthMm) + model.amplitudePercent * model.stepAt(depthMm);
    }
    // Dx: the background at Rp; NaN when no tail was measured.
    double backgroundAtRpPercent() const;
};

// The fall-off of a curve of increasing depths (mm) and doses in percent of its largest point.
// Empty when the curve has no fall-off of at least three points beyond its maximum.
std::optional<FallOff> fallOff(std::span<const double> depthMm, std::span<const double> percent);

// The same for doses in any positive unit, taken relative to the largest.
std::optional<FallOff> fallOffOfCurve(std::span<const double> depthMm, std::span<const double> value);

// Least-squares polynomial of degree `degree` (at most 3) in u = depth - centre over the points
// first..last; coefficients from the constant up. False when the normal equations are singular.
bool polynomialFit(std::span<const double> depthMm, std::span<const double> value, std::size_t first, std::size_t last,
                   double centre, int degree, std::array<double, 4>& coefficient);

}  // namespace beamdata
