#pragma once
// A basis of smooth model curves for the tests that need no simulation: the depth dose of energy E
// is (E / R) f(z / R) with R the engine's range, so stretching by range ratios is exact for it up to
// the averaging over 1 mm slabs.
#include "fit/axis_basis.h"

namespace fit_testing {

// Slab averages (keV per history, arbitrary scale) of the shape at energyKeV.
fit::DepthCurve syntheticCurve(double energyKeV);

fit::AxisBasis syntheticBasis(float centreMaxEnergyMeV);

}  // namespace fit_testing
