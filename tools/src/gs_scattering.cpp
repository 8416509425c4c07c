#include "tools/gs_scattering.h"

#include "engine/stopping_power.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <utility>

namespace tools {
namespace {

constexpr double WATER_MOLAR_MASS_G = 18.015;
constexpr double WATER_DENSITY_G_PER_CM3 = 1.0;
constexpr double BC_CONSTANT_CM2_PER_G = 7821.6;  // includes the factor 1.16699 over the older constant
constexpr double CHI_CC_CONSTANT_CM2_MEV2_PER_G = 0.1569;
constexpr double WATER_RADIATION_LENGTH_CM = 36.08;
constexpr double NEGLIGIBLE_WEIGHT = 1e-16;  // exp(-G_l) below this no longer changes F or its integral

// 6-point Gauss-Legendre rule on [-1, 1]: the integrands vary slowly over an 8 % energy interval.
constexpr std::array<double, 6> GAUSS_NODES = {-0.9324695142031521, -0.6612093864662645, -0.2386191860831969,
                                               0.2386191860831969,  0.6612093864662645,  0.9324695142031521};
constexpr std::array<double, 6> GAUSS_WEIGHTS = {0.1713244923791704, 0.3607615730481386, 0.4679139345726910,
                                                 0.4679139345726910, 0.3607615730481386, 0.1713244923791704};

struct Atom {
    double z;
    double countPerMolecule;
};
constexpr std::array<Atom, 2> WATER_ATOMS = {Atom{1.0, 2.0}, Atom{8.0, 1.0}};

double stoppingPowerKeVPerCm(double energyKeV) {
    return static_cast<double>(engine::collisionStoppingPower(static_cast<float>(energyKeV)));
}

}  // namespace

ScreeningConstants waterScreeningConstants() {
    ScreeningConstants c;
    for (const Atom& atom : WATER_ATOMS) {
        const double weight = atom.countPerMolecule * atom.z * (atom.z + 1.0);
        const double alphaZ = FINE_STRUCTURE * atom.z;
        c.zS += weight;
        c.zE += weight * std::log(std::pow(atom.z, -2.0 / 3.0));
        c.zX += weight * std::log(1.0 + 3.34 * alphaZ * alphaZ);
    }
    c.bcPerCm = BC_CONSTANT_CM2_PER_G * WATER_DENSITY_G_PER_CM3 * c.zS * std::exp(c.zE / c.zS) /
                (WATER_MOLAR_MASS_G * std::exp(c.zX / c.zS));
    c.chiCcSquaredMeV2PerCm = CHI_CC_CONSTANT_CM2_MEV2_PER_G * WATER_DENSITY_G_PER_CM3 * c.zS / WATER_MOLAR_MASS_G;
    return c;
}

double betaSquared(double kineticEnergyMeV) {
    const double total = kineticEnergyMeV + ELECTRON_MASS_MEV;
    return kineticEnergyMeV * (kineticEnergyMeV + 2.0 * ELECTRON_MASS_MEV) / (total * total);
}

double screeningParameter(double kineticEnergyMeV) {
    static const ScreeningConstants water = waterScreeningConstants();
    const double momentumSquared = kineticEnergyMeV * (kineticEnergyMeV + 2.0 * ELECTRON_MASS_MEV);
    return water.chiCcSquaredMeV2PerCm / (4.0 * water.bcPerCm * momentumSquared);
}

double elasticCollisionsPerCm(double kineticEnergyMeV) {
    static const ScreeningConstants water = waterScreeningConstants();
    return water.bcPerCm / betaSquared(kineticEnergyMeV);
}

std::vector<double> screenedRutherfordTransportFactors(double eta, int maxOrder) {
    if (!(eta > 0.0) || maxOrder < 1) throw std::invalid_argument("screening parameter and order must be positive");
    const double x = 1.0 + 2.0 * eta;
    // acosh(1 + 2 eta) without forming 1 + 2 eta first, which would lose eta's low digits.
    const double acoshX = std::log1p(2.0 * eta + std::sqrt(2.0 * eta * (2.0 * eta + 2.0)));
    const auto top = static_cast<std::size_t>(maxOrder) + static_cast<std::size_t>(40.0 / acoshX) + 16;

    // r_l = Q_l / Q_(l-1) by the backward continued fraction, stable where forward recursion is not.
    std::vector<double> ratio(top + 2, 0.0);
    for (std::size_t l = top; l >= 1; --l) {
        const double ld = static_cast<double>(l);
        ratio[l] = ld / ((2.0 * ld + 1.0) * x - (ld + 1.0) * ratio[l + 1]);
    }

    // 1 - <P_l> = 1 - l [Q_(l-1) - x Q_l] equals 2 eta [sum_(k<l) (2k+1) Q_k + l Q_l] (from the Q
    // recurrence): a sum of positive terms, free of the cancellation that 1 - <P_l> suffers when
    // <P_l> lies within 1e-7 of 1 at high energy.
    std::vector<double> factors(static_cast<std::size_t>(maxOrder) + 1, 0.0);
    double q = 0.5 * std::log1p(1.0 / eta);  // Q_0(x) = 0.5 ln((x+1)/(x-1))
    double partialSum = 0.0;                 // sum_(k<l) (2k+1) Q_k
    for (std::size_t l = 1; l <= static_cast<std::size_t>(maxOrder); ++l) {
        partialSum += (2.0 * static_cast<double>(l) - 1.0) * q;
        q *= ratio[l];
        factors[l] = 2.0 * eta * (partialSum + static_cast<double>(l) * q);
    }
    return factors;
}

double firstTransportFactorClosedForm(double eta) { return 2.0 * eta * ((1.0 + eta) * std::log1p(1.0 / eta) - 1.0); }

StepDistribution::StepDistribution(double startEnergyKeV, std::vector<double> transportIntegrals, double pathLengthCm)
    : startEnergyKeV_(startEnergyKeV), g_(std::move(transportIntegrals)), pathLengthCm_(pathLengthCm) {
    if (g_.size() < 2) throw std::invalid_argument("a step distribution needs G_0 and G_1 at least");
    weight_.reserve(g_.size());
    for (double g : g_) weight_.push_back(std::exp(-g));
}

double StepDistribution::meanCosine() const { return weight_[1]; }

void StepDistribution::evaluate(double cosine, double& probabilityAbove, double& density) const {
    // Term by term: integral from mu to 1 of P_l = (P_(l-1)(mu) - P_(l+1)(mu)) / (2l + 1) for l >= 1.
    double pPrevious = 1.0;    // P_(l-1)
    double pCurrent = cosine;  // P_l
    double above = 0.5 * (1.0 - cosine);
    double f = 0.5 + 1.5 * weight_[1] * cosine;
    const std::size_t highest = weight_.size() - 1;
    for (std::size_t l = 1; l <= highest; ++l) {
        const double ld = static_cast<double>(l);
        const double pNext = ((2.0 * ld + 1.0) * cosine * pCurrent - ld * pPrevious) / (ld + 1.0);
        above += 0.5 * weight_[l] * (pPrevious - pNext);
        if (l >= 2) f += (ld + 0.5) * weight_[l] * pCurrent;
        pPrevious = pCurrent;
        pCurrent = pNext;
    }
    probabilityAbove = above;
    density = f;
}

double StepDistribution::density(double cosine) const {
    double above = 0.0;
    double f = 0.0;
    evaluate(cosine, above, f);
    return f;
}

double StepDistribution::probabilityAbove(double cosine) const {
    double above = 0.0;
    double f = 0.0;
    evaluate(cosine, above, f);
    return above;
}

double StepDistribution::cosineQuantile(double probability) const {
    if (probability <= 0.0) return 1.0;
    if (probability >= 1.0) return -1.0;
    // Bracket [low, high] with probabilityAbove(low) >= p >= probabilityAbove(high); Newton steps
    // from a small-angle Gaussian guess, bisection whenever Newton would leave the bracket.
    double low = -1.0;
    double high = 1.0;
    double cosine = std::max(-1.0, 1.0 + std::log1p(-probability) * (1.0 - meanCosine()));
    for (int iteration = 0; iteration < 200; ++iteration) {
        double above = 0.0;
        double f = 0.0;
        evaluate(cosine, above, f);
        if (above > probability) {
            low = cosine;
        } else {
            high = cosine;
        }
        double next = (f > 0.0) ? cosine + (above - probability) / f : 0.5 * (low + high);
        if (!(next > low && next < high)) next = 0.5 * (low + high);
        if (std::abs(next - cosine) < 1e-15 || high - low < 1e-15) return next;
        cosine = next;
    }
    return cosine;
}

StepDistribution computeStepDistribution(double startEnergyKeV) {
    const double endEnergyKeV = startEnergyKeV * (1.0 - STEP_ENERGY_LOSS_FRACTION);
    const double halfWidthKeV = 0.5 * (startEnergyKeV - endEnergyKeV);
    const double midKeV = 0.5 * (startEnergyKeV + endEnergyKeV);

    std::array<double, 6> nodeScale{};  // Gauss weight x half-width x Sigma / S, per node
    std::array<double, 6> nodeEta{};
    double pathLengthCm = 0.0;
    for (std::size_t i = 0; i < GAUSS_NODES.size(); ++i) {
        const double energyKeV = midKeV + halfWidthKeV * GAUSS_NODES[i];
        const double energyMeV = 0.001 * energyKeV;
        const double pathPerKeV = GAUSS_WEIGHTS[i] * halfWidthKeV / stoppingPowerKeVPerCm(energyKeV);
        pathLengthCm += pathPerKeV;
        nodeScale[i] = pathPerKeV * elasticCollisionsPerCm(energyMeV);
        nodeEta[i] = screeningParameter(energyMeV);
    }

    // Grow the Legendre order until the series weight exp(-G_L) is negligible.
    for (int maxOrder = 64;; maxOrder *= 2) {
        std::vector<double> g(static_cast<std::size_t>(maxOrder) + 1, 0.0);
        for (std::size_t i = 0; i < GAUSS_NODES.size(); ++i) {
            const std::vector<double> factors = screenedRutherfordTransportFactors(nodeEta[i], maxOrder);
            for (std::size_t l = 1; l < g.size(); ++l) g[l] += nodeScale[i] * factors[l];
        }
        const auto negligible = std::find_if(g.begin() + 1, g.end(),
                                             [](double gl) { return std::exp(-gl) < NEGLIGIBLE_WEIGHT; });
        if (negligible != g.end()) {
            g.erase(negligible + 1, g.end());
            return StepDistribution(startEnergyKeV, std::move(g), pathLengthCm);
        }
        if (maxOrder > (1 << 22))
            throw std::runtime_error("Legendre series of the step distribution does not converge");
    }
}

double highlandWidthRadians(double kineticEnergyMeV, double pathLengthCm) {
    const double momentumSquared = kineticEnergyMeV * (kineticEnergyMeV + 2.0 * ELECTRON_MASS_MEV);
    const double betaMomentumMeV = momentumSquared / (kineticEnergyMeV + ELECTRON_MASS_MEV);
    const double thickness = pathLengthCm / WATER_RADIATION_LENGTH_CM;
    return 13.6 / betaMomentumMeV * std::sqrt(thickness) * (1.0 + 0.038 * std::log(thickness));
}

}  // namespace tools
