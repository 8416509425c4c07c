#pragma once
// The Beta spectrum model of the set-up window: 101 points x = j/100 of the Beta density with
// shape parameters alpha and beta, normalised to the largest point.
#include <array>

#include "common/module1.h"

namespace orvalis {

using SpectrumArray = std::array<double, SPECTRUM_LAST_POINT + 1>;

enum class SpectrumUpdate {
    Completed,  // both arrays rewritten; the curve is to be redrawn
    Stopped,    // a power overflowed or a division by zero came up: the arrays keep what was
                // stored up to that point and the curve is left as it was
};

// Recomputes density (SpecDensity) and relative (SpecRelative) in double precision.
// The normalising sum of x^(a-1) (1-x)^(b-1) over x = 0.01..0.99 stands in for the Beta
// function (it is 100 B(a, b) up to the error of the sum); points where the density is infinite
// (x = 0 with alpha < 1, x = 1 with beta < 1) are set to 0; 0^0 is 1.
SpectrumUpdate updateSpectrum(double alpha, double beta, SpectrumArray& density, SpectrumArray& relative);

}  // namespace orvalis
