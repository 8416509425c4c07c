#include "fit/model_curve.h"

#include "engine/stopping_power.h"
#include "engine/transport.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace fit {

namespace {

constexpr int FIRST_WATER_SLAB = 16;  // slab index (1-based) of the first millimetre of water
constexpr double SLAB_MM = 1.0;
constexpr int RANGE_INTEGRATION_POINTS = 64;  // Simpson points in log energy; ample for a smooth 1/S

double finalStepRangeCm(double energyKeV) {
    return static_cast<double>(engine::FINAL_RANGE_FACTOR_CM) *
           std::pow(energyKeV * static_cast<double>(engine::MEV_PER_KEV),
                    static_cast<double>(engine::FINAL_RANGE_EXPONENT));
}

double inverseStoppingPower(double energyKeV) {
    return 1.0 / static_cast<double>(engine::collisionStoppingPower(static_cast<float>(energyKeV)));
}

// Value of a curve at depth `depthMm` below the surface, from its slab centres (label - 0.5 mm),
// linear between them, held flat in front of the first centre and zero past the grid.
double valueAtDepth(const DepthCurve& curve, double depthMm) {
    const double position = depthMm + 0.5;  // in slab labels: centre of label L sits at L - 0.5
    if (position <= 1.0) return curve[FIRST_WATER_SLAB - 1];
    const auto lower = static_cast<std::size_t>(std::floor(position));  // label
    const double t = position - static_cast<double>(lower);
    const std::size_t index = lower + FIRST_WATER_SLAB - 2;  // 0-based slab of that label
    if (index + 1 >= curve.size()) return index < curve.size() ? curve[index] * (1.0 - t) : 0.0;
    return curve[index] * (1.0 - t) + curve[index + 1] * t;
}

}  // namespace

double engineRangeCm(double energyKeV) {
    const double threshold = static_cast<double>(engine::FINAL_STEP_THRESHOLD_KEV);
    if (energyKeV <= threshold) return finalStepRangeCm(std::max(energyKeV, 0.0));
    // Simpson's rule over u = ln E from the threshold to the energy: dE / S = E / S du.
    const double lo = std::log(threshold);
    const double hi = std::log(energyKeV);
    const double h = (hi - lo) / RANGE_INTEGRATION_POINTS;
    double sum = 0.0;
    for (int k = 0; k <= RANGE_INTEGRATION_POINTS; ++k) {
        const double e = std::exp(lo + h * k);
        const double weight = (k == 0 || k == RANGE_INTEGRATION_POINTS) ? 1.0 : (k % 2 == 1 ? 4.0 : 2.0);
        sum += weight * e * inverseStoppingPower(e);
    }
    return finalStepRangeCm(threshold) + sum * h / 3.0;
}

ModelBasis::ModelBasis(AxisBasis basis) : basis_(std::move(basis)) {
    if (basis_.energyKeV.empty() || basis_.energyKeV.size() != basis_.curve.size())
        throw std::invalid_argument("A model needs a complete basis.");
    for (float energy : basis_.energyKeV) rangeCm_.push_back(engineRangeCm(static_cast<double>(energy)));
}

bool ModelBasis::covers(float maxEnergyMeV) const {
    return basisEnergyKeV(maxEnergyMeV, engine::SPECTRUM_BINS) <= basis_.energyKeV.back();
}

DepthCurve ModelBasis::stretched(std::size_t index, double energyKeV) const {
    const DepthCurve& source = basis_.curve[index];
    const double sourceEnergy = static_cast<double>(basis_.energyKeV[index]);
    const double depthScale = rangeCm_[index] / engineRangeCm(energyKeV);  // < 1 for a higher energy
    const double energyScale = energyKeV / sourceEnergy;
    DepthCurve result{};
    for (std::size_t slab = 0; slab < result.size(); ++slab) {
        if (slab + 1 < FIRST_WATER_SLAB) {
            result[slab] = energyScale * source[slab];  // in front of the surface: not stretched
            continue;
        }
        const double centreMm = static_cast<double>(slab + 2 - FIRST_WATER_SLAB) - 0.5 * SLAB_MM;
        result[slab] = energyScale * depthScale * valueAtDepth(source, centreMm * depthScale);
    }
    return result;
}

DepthCurve ModelBasis::curveAt(float energyKeV) const {
    const std::vector<float>& energies = basis_.energyKeV;
    const auto above = std::lower_bound(energies.begin(), energies.end(), energyKeV);
    if (above != energies.end() && *above == energyKeV)
        return basis_.curve[static_cast<std::size_t>(above - energies.begin())];
    if (above == energies.end()) throw std::out_of_range("Energy above the basis.");
    const auto upper = static_cast<std::size_t>(above - energies.begin());
    const double energy = static_cast<double>(energyKeV);
    if (upper == 0) return stretched(0, energy);
    const std::size_t lower = upper - 1;
    const double t = (energy - static_cast<double>(energies[lower])) /
                     static_cast<double>(energies[upper] - energies[lower]);
    const DepthCurve a = stretched(lower, energy);
    const DepthCurve b = stretched(upper, energy);
    DepthCurve result{};
    for (std::size_t slab = 0; slab < result.size(); ++slab) result[slab] = (1.0 - t) * a[slab] + t * b[slab];
    return result;
}

BinCurves ModelBasis::binCurves(float maxEnergyMeV) const {
    if (!covers(maxEnergyMeV)) throw std::out_of_range("The maximum energy lies above the basis.");
    BinCurves curves;
    curves.reserve(engine::SPECTRUM_BINS);
    for (int bin = 1; bin <= engine::SPECTRUM_BINS; ++bin) curves.push_back(curveAt(basisEnergyKeV(maxEnergyMeV, bin)));
    return curves;
}

std::vector<DepthCurve> ModelBasis::binVariances(float maxEnergyMeV) const {
    if (basis_.variance.size() != basis_.curve.size() || !covers(maxEnergyMeV)) return {};
    std::vector<DepthCurve> variances;
    for (int bin = 1; bin <= engine::SPECTRUM_BINS; ++bin) {
        const float energy = basisEnergyKeV(maxEnergyMeV, bin);
        const auto above = static_cast<std::size_t>(
            std::lower_bound(basis_.energyKeV.begin(), basis_.energyKeV.end(), energy) - basis_.energyKeV.begin());
        const double ratio = static_cast<double>(energy) / static_cast<double>(basis_.energyKeV[above]);
        DepthCurve v = basis_.variance[above];
        for (double& value : v) value *= ratio * ratio;
        variances.push_back(v);
    }
    return variances;
}

DepthCurve relativeModelCurve(const BinCurves& curves, const engine::Spectrum& spectrum) {
    DepthCurve sum{};
    for (std::size_t bin = 0; bin < curves.size() && bin < spectrum.binWeight.size(); ++bin) {
        const double weight = static_cast<double>(spectrum.binWeight[bin]);
        if (weight == 0.0) continue;
        for (std::size_t slab = 0; slab < sum.size(); ++slab) sum[slab] += weight * curves[bin][slab];
    }
    const double largest = *std::max_element(sum.begin(), sum.end());
    if (!(largest > 0.0)) return DepthCurve{};
    for (double& value : sum) value /= largest;
    return sum;
}

}  // namespace fit
