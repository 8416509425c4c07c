#include "synthetic_basis.h"

#include "fit/model_curve.h"

#include <algorithm>
#include <cmath>

namespace fit_testing {

namespace {

// Build-up, a maximum near 0.6 R and a fall-off centred at 0.8 R.
double shape(double u) { return (0.75 + 0.5 * u) / (1.0 + std::exp((u - 0.8) / 0.05)); }

// Samples per slab: at least ten, and at least twenty over the range of a short curve, so that the
// slabs hold the curve's integral (a few samples over a range below 1 mm put more energy in a
// slab than the electron brings).
int samplesPerSlab(double rangeMm) { return std::max(10, static_cast<int>(std::ceil(20.0 / rangeMm))); }

}  // namespace

fit::DepthCurve syntheticCurve(double energyKeV) {
    const double rangeMm = 10.0 * fit::engineRangeCm(energyKeV);
    const int samples = samplesPerSlab(rangeMm);
    fit::DepthCurve curve{};
    for (int label = 1; label <= 110; ++label) {
        double sum = 0.0;
        for (int s = 0; s < samples; ++s) {
            const double depth = label - 1.0 + (s + 0.5) / samples;
            sum += shape(depth / rangeMm);
        }
        curve[static_cast<std::size_t>(label + 14)] = energyKeV / rangeMm * sum / samples;
    }
    return curve;
}

fit::AxisBasis syntheticBasis(float centreMaxEnergyMeV) {
    fit::AxisBasis basis;
    basis.centreMaxEnergyMeV = centreMaxEnergyMeV;
    basis.historiesPerCurve = 1;
    for (int bin = 1; bin <= fit::basisCurveCount(); ++bin) {
        const float energy = fit::basisEnergyKeV(centreMaxEnergyMeV, bin);
        basis.energyKeV.push_back(energy);
        basis.curve.push_back(syntheticCurve(static_cast<double>(energy)));
    }
    return basis;
}

}  // namespace fit_testing
