#pragma once
// The bremsstrahlung background of a measured electron depth dose: the photons made in the head
// and the phantom give a slowly falling dose that no electron spectrum produces and that is all
// that is left beyond the practical range. It is taken as a straight line fitted to the measured
// tail beyond Rp and extended under the whole curve; its height is fitted with the spectrum.
#include "fit/measured_data.h"

#include <optional>
#include <string>

namespace fit {

enum class BackgroundMode { Automatic, On, Off };

constexpr double BACKGROUND_REACH_MM = 10.0;  // the measurement must go this far beyond Rp
constexpr double TAIL_START_MM = 3.0;         // the electrons' own foot ends about here beyond Rp

// The shape of the background, 1 at Rp: 1 + relativeSlopePerMm (z - Rp), never below 0.
struct BackgroundLine {
    double practicalRangeMm = 0.0;
    double relativeSlopePerMm = 0.0;
    double heightAtRp = 0.0;  // the tail's line at Rp, in the measurement's dose unit
    int tailPoints = 0;
    double shapeAt(double depthMm) const;
};

// The line for a measurement, or empty when the background is left out: Off, or Automatic with a
// measurement that ends less than BACKGROUND_REACH_MM beyond Rp. The slope is bounded so that the
// line stays between half and twice its height at Rp at the surface (a steeper tail is the end of
// the electrons' fall-off or noise, not photons). Throws engine::RunError naming `fileName` when
// the background is forced On and the measurement is too short for it.
std::optional<BackgroundLine> backgroundLine(const MeasuredCurve& curve, double practicalRangeMm, BackgroundMode mode,
                                             const std::string& fileName);

}  // namespace fit
