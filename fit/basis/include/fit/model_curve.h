#pragma once
// The fit's model: the axis depth dose of a Beta spectrum as the weight-averaged sum of the
// monoenergetic basis curves, normalised to its largest slab like a simulator result.
#include "engine/run_frame.h"
#include "fit/axis_basis.h"

#include <vector>

namespace fit {

// Distance (cm) an electron of energyKeV travels until it stops, by the engine's own rules:
// ordinary steps lose energy at the collision stopping power, the last 305 keV are one final step
// of 0.407 (E in MeV)^1.38 cm.
double engineRangeCm(double energyKeV);

// The 100 monoenergetic curves (keV per history) at the simulator's bin energies for one maximum
// energy. Bins between basis energies are interpolated from their two neighbours, each first
// stretched in depth by the ratio of ranges and scaled so that its energy follows the bin energy;
// at the basis's own maximum energy every bin is a basis curve unchanged.
using BinCurves = std::vector<DepthCurve>;

class ModelBasis {
public:
    explicit ModelBasis(AxisBasis basis);

    // False when the highest bin energy lies above the basis.
    bool covers(float maxEnergyMeV) const;
    // Throws std::out_of_range when !covers(maxEnergyMeV).
    BinCurves binCurves(float maxEnergyMeV) const;
    // The Monte Carlo variance of each of those curves (their unit squared): a basis curve's own, or
    // between basis energies that of the curve above, scaled like the curve. Empty when the basis
    // carries no variance.
    std::vector<DepthCurve> binVariances(float maxEnergyMeV) const;

    const AxisBasis& basis() const { return basis_; }

private:
    DepthCurve curveAt(float energyKeV) const;
    DepthCurve stretched(std::size_t index, double energyKeV) const;

    AxisBasis basis_;
    std::vector<double> rangeCm_;
};

// Sum over the bins of weight x curve, divided by its largest value over all 125 slabs (the slabs in
// front of the surface included, as the simulator does). All zeros when nothing was absorbed.
DepthCurve relativeModelCurve(const BinCurves& curves, const engine::Spectrum& spectrum);

}  // namespace fit
