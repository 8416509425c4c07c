#pragma once
// Electron depth doses made for the tests: a build-up from the surface dose, a fall-off by range
// straggling (a Gaussian tail, optionally skewed so that it is not the shape the reader fits) and
// a bremsstrahlung background that falls linearly with depth. Also the independent tangent
// construction of the practical range on a dense, noiseless sampling.
#include <cstdint>
#include <vector>

#include "beamdata/depth_scan.h"

namespace beamdata::testing {

struct ElectronShape {
    double surfaceFraction = 0.7;    // build-up starts here (relative to the plateau)
    double buildUpMm = 8.0;          // e-folding depth of the build-up
    double fallOffMm = 36.0;         // middle of the fall-off
    double stragglingMm = 3.0;       // width of the fall-off
    double skew = 1.0;               // 1: Gaussian tail; above or below: a skewed fall-off
    double backgroundPercent = 0.5;  // bremsstrahlung at the surface, relative to the plateau
    double backgroundEndMm = 200.0;  // where the linear background would reach zero
};

// Shapes after the full-physics references for 6, 9, 12, 16 and 20 MeV (surface dose, R50, tail).
ElectronShape shapeForEnergy(double energyMeV, double skew = 1.0);

double shapeValue(const ElectronShape& shape, double depthMm);

// The curve at depths first, first + step, ... up to last, in percent of its largest point, with
// optional Gaussian noise of `noisePercent` (fixed seed).
DepthScan sampledCurve(const ElectronShape& shape, double firstMm, double stepMm, double lastMm,
                       double noisePercent = 0.0, std::uint32_t seed = 1);

// The tangent construction on 0.005 mm steps without noise: the steepest central difference, its
// tangent, and where it meets the background line of the shape (in percent of the curve's maximum).
double tangentPracticalRangeMm(const ElectronShape& shape);

// Ionisation of a dose curve: each point divided by the water-to-air stopping-power ratio at its
// depth for the dose R50, in percent of the largest.
DepthScan ionisationFromDose(const DepthScan& dose);

}  // namespace beamdata::testing
