#include "fit/model_curve.h"

#include "fit/beta_weights.h"
#include "synthetic_basis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace {

TEST(EngineRange, GrowsWithEnergyAndLiesJustAboveTheCsdaRange) {
    double previous = 0.0;
    for (double energy : {100.0, 305.0, 1000.0, 4000.0, 9000.0, 20000.0}) {
        const double range = fit::engineRangeCm(energy);
        EXPECT_GT(range, previous) << energy;
        previous = range;
    }
    // The engine's stopping power runs a little below ESTAR's (it has no radiative loss), so its
    // range is 0 to 12 % longer than the CSDA range of 4.506 cm at 9 MeV.
    EXPECT_GT(fit::engineRangeCm(9000.0), 4.506);
    EXPECT_LT(fit::engineRangeCm(9000.0), 1.12 * 4.506);
}

TEST(ModelBasis, UsesBasisCurvesUnchangedAtItsOwnMaximumEnergy) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(9.0f));
    const fit::BinCurves curves = model.binCurves(9.0f);
    ASSERT_EQ(curves.size(), 100u);
    for (std::size_t bin = 0; bin < curves.size(); ++bin) EXPECT_EQ(curves[bin], model.basis().curve[bin]) << bin;
}

TEST(ModelBasis, InterpolatesOtherEnergiesByRangeStretching) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(9.0f));
    for (float maxEnergy : {8.3f, 9.45f, 10.0f}) {
        const fit::BinCurves curves = model.binCurves(maxEnergy);
        for (int bin = 10; bin <= 100; bin += 10) {
            const auto& curve = curves[static_cast<std::size_t>(bin - 1)];
            const fit::DepthCurve exact = fit_testing::syntheticCurve(fit::basisEnergyKeV(maxEnergy, bin));
            // Every bin keeps its energy; shapes follow closely once the curve spans a few
            // centimetres (below, 1 mm slabs are coarse against the fall-off).
            const double sum = std::accumulate(curve.begin(), curve.end(), 0.0);
            EXPECT_NEAR(sum, std::accumulate(exact.begin(), exact.end(), 0.0), 0.02 * sum) << maxEnergy << " " << bin;
            if (bin < 40) continue;
            const double peak = *std::max_element(exact.begin(), exact.end());
            for (std::size_t slab = 15; slab < exact.size(); ++slab)
                ASSERT_NEAR(curve[slab], exact[slab], 0.01 * peak)
                    << maxEnergy << " MeV, bin " << bin << ", slab " << slab;
        }
    }
}

TEST(ModelBasis, CoversUpTo112PercentOfItsEnergy) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(10.0f));
    EXPECT_TRUE(model.covers(11.2f));
    EXPECT_FALSE(model.covers(11.3f));
    EXPECT_THROW(model.binCurves(11.3f), std::out_of_range);
    fit::AxisBasis incomplete = fit_testing::syntheticBasis(10.0f);
    incomplete.curve.pop_back();
    EXPECT_THROW(fit::ModelBasis{incomplete}, std::invalid_argument);
}

TEST(RelativeModelCurve, WeightedSumNormalisedToItsLargestSlab) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(9.0f));
    const fit::BinCurves curves = model.binCurves(9.0f);
    engine::Spectrum single;
    single.binWeight[99] = 1.0f;
    const fit::DepthCurve one = fit::relativeModelCurve(curves, single);
    const double peak = *std::max_element(curves[99].begin(), curves[99].end());
    for (std::size_t slab = 0; slab < one.size(); ++slab) EXPECT_DOUBLE_EQ(one[slab], curves[99][slab] / peak);

    const auto spectrum = fit::simulatorSpectrum(8.0, 2.0, 9.0f);
    const fit::DepthCurve mixed = fit::relativeModelCurve(curves, *spectrum);
    EXPECT_EQ(*std::max_element(mixed.begin(), mixed.end()), 1.0);
    // A spectrum with lower energies has a shallower fall-off than its highest bin alone.
    EXPECT_LT(mixed[60], one[60]);

    engine::Spectrum empty;
    const fit::DepthCurve none = fit::relativeModelCurve(curves, empty);
    for (double value : none) EXPECT_EQ(value, 0.0);
}

}  // namespace
