#pragma once
// The bremsstrahlung background of a measured electron depth dose: the photons made in the head
// and the phantom give a slowly falling dose that no electron spectrum produces and that is all
// that is left beyond the practical range. It is taken as a straight line fitted to the measured
// tail beyond Rp and extended under the whole curve, built up towards the surface; its height is
// fitted with the spectrum.
//
// The build-up: photons from the head enter the water with a build-up of their own, and those made
// in the phantom grow along the electrons' tracks, so near the surface the background lies below its
// line. The line alone put up to 3 % too much background under the surface of 16-20 MeV beams,
// which no non-negative electron spectrum can take back (this engine's electrons already give a
// high surface dose): the misfit there lowered the model's maximum and moved R90 deeper. Half the
// line is taken to be missing at the surface, a middle value: a background put too low there is
// made up by low-energy electrons.
#include "fit/measured_data.h"

#include <optional>
#include <string>

namespace fit {

enum class BackgroundMode { Automatic, On, Off };

constexpr double BACKGROUND_REACH_MM = 10.0;  // the measurement must go this far beyond Rp
constexpr double TAIL_START_MM = 3.0;         // the electrons' own foot ends about here beyond Rp

// The shape of the background, 1 at Rp: the line 1 + relativeSlopePerMm (z - Rp), never below 0,
// times the build-up (1 - 0.5 exp(-z / 0.3 Rp)) / (1 - 0.5 exp(-1 / 0.3)).
struct BackgroundLine {
    double practicalRangeMm = 0.0;
    double relativeSlopePerMm = 0.0;
    double heightAtRp = 0.0;  // the tail's line at Rp, in the measurement's dose unit
    int tailPoints = 0;
    double lineAt(double depthMm) const;
    double buildUpAt(double depthMm) const;
    double shapeAt(double depthMm) const;
};

// The line for a measurement, or empty when the background is left out: Off, or Automatic with a
// measurement that ends less than BACKGROUND_REACH_MM beyond Rp or whose tail is no photon tail
// (above 10 % of the maximum at Rp, or falling faster than 2 % per mm: the fall-off of a second group
// of electrons, Rp having been found on the first); then `whyNone`, when given, says why. The slope
// is bounded to a flat or falling tail, falling by at most 0.5 % per mm (a steeper tail is the end
// of the electrons' fall-off or noise, not photons). Throws engine::RunError naming `fileName` when
// the background is forced On and the measurement is too short for it.
std::optional<BackgroundLine> backgroundLine(const MeasuredCurve& curve, double practicalRangeMm, BackgroundMode mode,
                                             const std::string& fileName, std::string* whyNone = nullptr);

}  // namespace fit
