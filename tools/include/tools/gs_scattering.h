#pragma once
// Goudsmit-Saunderson multiple scattering of electrons in water over one engine step.
//
// Elastic scattering is screened Rutherford with Moliere's screening parameter in the
// two-parameter compound form (Z_S, Z_E, Z_X summed over the atoms of the molecule). Over a step
// from E0 down to E0 (1 - 0.08299595) the Legendre transport integrals
//   G_l = integral Sigma(E) (1 - <P_l>(E)) / S(E) dE
// use the engine's own collision stopping power S, so the table and the transport agree on the
// path length. The deflection-cosine distribution is then
//   F(mu) = sum_l (l + 1/2) exp(-G_l) P_l(mu).
// Everything here runs in double precision: this is a data generator, not the simulators'
// canonical 32-bit arithmetic.
#include <vector>

namespace tools {

constexpr double ELECTRON_MASS_MEV = 0.51099895;  // CODATA 2018
constexpr double FINE_STRUCTURE = 1.0 / 137.036;
constexpr double STEP_ENERGY_LOSS_FRACTION = 0.08299595;  // the engine's share of E lost per ordinary step

// Screening constants of a compound, per molecule, as in the compound form of Moliere's theory.
struct ScreeningConstants {
    double zS = 0.0;                     // sum p_i Z_i (Z_i + 1)
    double zE = 0.0;                     // sum p_i Z_i (Z_i + 1) ln(Z_i^(-2/3))
    double zX = 0.0;                     // sum p_i Z_i (Z_i + 1) ln(1 + 3.34 (alpha Z_i)^2)
    double bcPerCm = 0.0;                // b_c, elastic collisions x beta^2 per cm
    double chiCcSquaredMeV2PerCm = 0.0;  // chi_cc^2 in MeV^2/cm
};

// Liquid water, H2O, density 1 g/cm3, molecular mass 18.015 g/mol.
ScreeningConstants waterScreeningConstants();

// beta^2 of an electron of kinetic energy kineticEnergyMeV.
double betaSquared(double kineticEnergyMeV);

// Moliere screening parameter eta of water at kinetic energy kineticEnergyMeV.
double screeningParameter(double kineticEnergyMeV);

// Elastic collisions per cm in water at kinetic energy kineticEnergyMeV (Sigma = b_c / beta^2).
double elasticCollisionsPerCm(double kineticEnergyMeV);

// 1 - <P_l> of the normalised screened-Rutherford distribution for l = 0..maxOrder, from the
// Legendre functions of the second kind at x = 1 + 2 eta (ratios by the backward continued fraction).
std::vector<double> screenedRutherfordTransportFactors(double eta, int maxOrder);

// 1 - <P_1> in closed form: 2 eta [(1 + eta) ln(1 + 1/eta) - 1].
double firstTransportFactorClosedForm(double eta);

// The GS distribution of the deflection cosine after one step.
class StepDistribution {
public:
    // G_l for l = 0..L (G_0 = 0) over a step that starts at startEnergyKeV.
    StepDistribution(double startEnergyKeV, std::vector<double> transportIntegrals, double pathLengthCm);

    double startEnergyKeV() const { return startEnergyKeV_; }
    double pathLengthCm() const { return pathLengthCm_; }
    int highestOrder() const { return static_cast<int>(g_.size()) - 1; }
    double transportIntegral(int order) const { return g_[static_cast<std::size_t>(order)]; }

    // Exact mean deflection cosine, exp(-G_1).
    double meanCosine() const;
    // Probability density of mu = cos(theta) on [-1, 1].
    double density(double cosine) const;
    // Probability that the deflection cosine exceeds `cosine` (0 at 1, 1 at -1).
    double probabilityAbove(double cosine) const;
    // The cosine exceeded with probability `probability` (0 gives 1, 1 gives -1).
    double cosineQuantile(double probability) const;

private:
    void evaluate(double cosine, double& probabilityAbove, double& density) const;

    double startEnergyKeV_;
    std::vector<double> g_;
    std::vector<double> weight_;  // exp(-G_l)
    double pathLengthCm_;
};

// The distribution over one engine step from startEnergyKeV down to startEnergyKeV (1 - 0.08299595).
// The Legendre series is carried until exp(-G_l) falls below 1e-16.
StepDistribution computeStepDistribution(double startEnergyKeV);

// Highland's Gaussian width theta0 (radians) for a path pathLengthCm of water at kineticEnergyMeV;
// a sanity check of the GS core, never a substitute for it.
double highlandWidthRadians(double kineticEnergyMeV, double pathLengthCm);

}  // namespace tools
