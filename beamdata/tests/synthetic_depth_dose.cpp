#include "synthetic_depth_dose.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "beamdata/ionisation_to_dose.h"
#include "beamdata/range_levels.h"

namespace beamdata::testing {
namespace {

double gaussianTail(double u) { return 0.5 * std::erfc(u / std::sqrt(2.0)); }

double maximumOf(const ElectronShape& shape) {
    double largest = 0.0;
    for (double z = 0.0; z <= shape.fallOffMm + 10.0 * shape.stragglingMm; z += 0.01)
        largest = std::max(largest, shapeValue(shape, z));
    return largest;
}

}  // namespace

ElectronShape shapeForEnergy(double energyMeV, double skew) {
    // Depths scale with R50 ~ E / 2.33 MeV/cm; the fall-off widens and the surface dose and the
    // bremsstrahlung rise with energy, as in the full-physics references.
    ElectronShape shape;
    const double r50Mm = 10.0 * energyMeV / 2.46;
    shape.fallOffMm = r50Mm;
    shape.stragglingMm = 0.16 * r50Mm;
    shape.buildUpMm = 0.25 * r50Mm;
    shape.surfaceFraction = 0.62 + 0.0085 * energyMeV;
    shape.backgroundPercent = 0.1 + 0.08 * energyMeV;
    shape.backgroundEndMm = 2.5 * r50Mm + 100.0;
    shape.skew = skew;
    return shape;
}

double shapeValue(const ElectronShape& shape, double depthMm) {
    const double buildUp = 1.0 - (1.0 - shape.surfaceFraction) * std::exp(-depthMm / shape.buildUpMm);
    const double fall = std::pow(gaussianTail((depthMm - shape.fallOffMm) / shape.stragglingMm), shape.skew);
    const double background = std::max(0.0, 0.01 * shape.backgroundPercent * (1.0 - depthMm / shape.backgroundEndMm));
    return buildUp * fall + background;
}

DepthScan sampledCurve(const ElectronShape& shape, double firstMm, double stepMm, double lastMm, double noisePercent,
                       std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, noisePercent);
    const double largest = maximumOf(shape);
    DepthScan scan;
    for (int k = 0;; ++k) {
        const double z = firstMm + k * stepMm;
        if (z > lastMm + 1e-9) break;
        scan.depthMm.push_back(z);
        const double percent = 100.0 * shapeValue(shape, z) / largest;
        scan.value.push_back(noisePercent > 0.0 ? percent * (1.0 + 0.01 * noise(generator)) : percent);
    }
    return scan;
}

double tangentPracticalRangeMm(const ElectronShape& shape) {
    const double largest = maximumOf(shape);
    const double h = 0.005;
    double steepest = 0.0, atDepth = 0.0, atPercent = 0.0;
    for (double z = shape.fallOffMm - 4.0 * shape.stragglingMm; z <= shape.fallOffMm + 4.0 * shape.stragglingMm;
         z += h) {
        const double slope = 100.0 * (shapeValue(shape, z + h) - shapeValue(shape, z - h)) / (2.0 * h) / largest;
        if (slope < steepest) {
            steepest = slope;
            atDepth = z;
            atPercent = 100.0 * shapeValue(shape, z) / largest;
        }
    }
    // The background line b0 + b1 z in percent of the maximum.
    const double b0 = shape.backgroundPercent / largest;
    const double b1 = -b0 / shape.backgroundEndMm;
    return (b0 - atPercent + steepest * atDepth) / (steepest - b1);
}

DepthScan ionisationFromDose(const DepthScan& dose) {
    const double r50Cm = levelDepthMm(dose.depthMm, dose.value, 0.5) / 10.0;
    DepthScan ionisation = dose;
    for (std::size_t k = 0; k < dose.value.size(); ++k)
        ionisation.value[k] = dose.value[k] / stoppingPowerRatioWaterAir(dose.depthMm[k] / 10.0, r50Cm);
    const double largest = *std::max_element(ionisation.value.begin(), ionisation.value.end());
    for (double& v : ionisation.value) v = 100.0 * v / largest;
    ionisation.info.quantity = Quantity::Ionisation;
    return ionisation;
}

}  // namespace beamdata::testing
