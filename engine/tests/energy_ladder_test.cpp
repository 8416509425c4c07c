#include "engine/energy_ladder.h"

#include "engine/transport.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace engine;

// The ladder must be the step-by-step sequence of the transport: the length and loss at each
// start energy, the energy less the loss, and the table bracket of each start energy.
TEST(EnergyLadder, FollowsTheStepByStepEnergiesLossesAndBrackets) {
    const ElectronData data = testing_support::backscatterStressTable();
    for (float startKeV : {20000.0f, 9000.0f, 4321.5f, 1000.0f, 306.0f}) {
        const EnergyLadder ladder(startKeV, data);
        float energyKeV = startKeV;
        std::size_t draws = 0;
        float pathCm = 0.0f;
        const auto steps = ladder.steps();
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const StepLoss expected = stepLengthAndLoss(energyKeV);
            ASSERT_EQ(steps[k].lengthCm, expected.lengthCm) << startKeV << " keV, step " << k;
            ASSERT_EQ(steps[k].lossKeV, expected.lossKeV);
            ASSERT_EQ(expected.isFinal, k + 1 == steps.size());
            const EnergyBracket bracket = expected.isFinal ? EnergyBracket{} : bracketEnergy(data, energyKeV);
            ASSERT_EQ(steps[k].deflection.deflects, bracket.deflects);
            ASSERT_EQ(steps[k].deflection.upperRow, bracket.upperRow);
            ASSERT_EQ(steps[k].deflection.energyFraction, bracket.energyFraction);
            draws += bracket.deflects ? 2u : 0u;
            pathCm += expected.lengthCm;
            energyKeV = energyKeV - expected.lossKeV;
        }
        EXPECT_EQ(ladder.drawsOfWholeLadder(), draws);
        EXPECT_EQ(ladder.pathLengthCm(), pathCm);
    }
    // The stress table ends at about 634 keV: the steps from 594 keV on draw nothing.
    const EnergyLadder low(1000.0f, data);
    EXPECT_EQ(low.steps().size(), 15u);  // 14 ordinary steps down to 324 keV, then the final one
    EXPECT_EQ(low.drawsOfWholeLadder(), 2u * 6u);
}

TEST(EnergyLadder, ShortOddAndHugeStartsEndWithTheFinalStep) {
    const ElectronData data = testing_support::gaussianWidthTable();
    const EnergyLadder final(300.0f, data);
    ASSERT_EQ(final.steps().size(), 1u);
    EXPECT_EQ(final.steps()[0].lossKeV, 300.0f);
    EXPECT_FALSE(final.steps()[0].deflection.deflects);
    EXPECT_EQ(EnergyLadder(20000.0f, data).steps().size(), 50u);  // 49 ordinary steps and the final one
    EXPECT_EQ(EnergyLadder(std::numeric_limits<float>::quiet_NaN(), data).steps().size(), 1u);
    const EnergyLadder huge(3.0e38f, data);
    EXPECT_LT(huge.steps().size(), 1100u);
    EXPECT_EQ(EnergyLadder(std::numeric_limits<float>::infinity(), data).steps().size(), 2u);
}

}  // namespace
