#pragma once
// The Beta spectrum model of the set-up window: 101 points x = j/100 of the Beta density with
// shape parameters alpha and beta, normalised to the largest point. Points 1 to 100 are the
// weights of the 100 spectrum bins that the simulators read.
#include "beamdata/spectrum_points.h"

#include <optional>

namespace beamdata {

enum class SpectrumUpdate {
    Completed,  // both arrays rewritten; the curve is to be redrawn
    Stopped,    // a power overflowed or a division by zero came up: the arrays keep what was
                // stored up to that point and the curve is left as it was
};

// Recomputes density and relative (density divided by its largest point) in double precision.
// The normalising sum of x^(a-1) (1-x)^(b-1) over x = 0.01..0.99 stands in for the Beta
// function (it is 100 B(a, b) up to the error of the sum); points where the density is infinite
// (x = 0 with alpha < 1, x = 1 with beta < 1) are set to 0; 0^0 is 1.
SpectrumUpdate updateSpectrum(double alpha, double beta, SpectrumArray& density, SpectrumArray& relative);

// The relative density alone; empty when the computation stops.
std::optional<SpectrumArray> relativeBetaDensity(double alpha, double beta);

}  // namespace beamdata
