#include "engine/transport.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace engine;

struct Deposit {
    Point start;
    Point end;
    float energyKeV;
};

struct RecordingScorer {
    std::vector<Deposit> deposits;
    void depositStep(const Point& start, const Point& end, float energyKeV) {
        deposits.push_back({start, end, energyKeV});
    }
};

int drawsBetween(LaggedGenerator before, const LaggedGenerator& after) {
    for (int draws = 0; draws < 1000; ++draws) {
        if (before.laggingCursor() == after.laggingCursor() && before.updatedCursor() == after.updatedCursor()) {
            LaggedGenerator a = before;
            LaggedGenerator b = after;
            if (a.nextInteger() == b.nextInteger() && a.nextInteger() == b.nextInteger()) return draws;
        }
        before.nextInteger();
    }
    return -1;
}

TEST(Transport, TwentyMeVTakes49OrdinaryStepsAlongTheAxisAndSpendsAllItsEnergy) {
    const ElectronData data = testing_support::straightTable();
    LaggedGenerator generator;
    generator.seed();
    RecordingScorer scorer;
    runHistory(narrowBeamStart(20000.0f), data, generator, scorer);
    ASSERT_EQ(scorer.deposits.size(), 50u);  // 49 ordinary steps and the final one
    float spent = 0.0f;
    for (std::size_t k = 0; k < scorer.deposits.size(); ++k) {
        const Deposit& d = scorer.deposits[k];
        spent += d.energyKeV;
        EXPECT_EQ(d.end.x, 0.0f);
        EXPECT_EQ(d.end.y, 0.0f);
        EXPECT_GT(d.end.z, d.start.z);
        if (k > 0) {
            EXPECT_EQ(d.start.z, scorer.deposits[k - 1].end.z);
        }
    }
    EXPECT_NEAR(spent, 20000.0f, 0.05f);
    EXPECT_LE(scorer.deposits.back().energyKeV, FINAL_STEP_THRESHOLD_KEV);
    // Collision-only CSDA range of a 20 MeV electron in water: about 10 cm.
    EXPECT_NEAR(scorer.deposits.back().end.z - 1.5f, 10.0f, 0.3f);
}

TEST(Transport, A300KeVHistoryIsOneFinalStepAndDrawsNothing) {
    const ElectronData data = testing_support::gaussianWidthTable();
    LaggedGenerator generator;
    generator.seed();
    const LaggedGenerator before = generator;
    RecordingScorer scorer;
    runHistory(narrowBeamStart(300.0f), data, generator, scorer);
    ASSERT_EQ(scorer.deposits.size(), 1u);
    const Deposit& d = scorer.deposits[0];
    EXPECT_EQ(d.start.z, 1.5f);
    EXPECT_NEAR(d.end.z, 1.5f + 0.407f * std::pow(0.3f, 1.38f), 1e-6f);
    EXPECT_EQ(d.end.x, 0.0f);
    EXPECT_EQ(d.energyKeV, 300.0f);
    EXPECT_EQ(drawsBetween(before, generator), 0);
    // The final step from 305 keV is about 0.079 cm long.
    EXPECT_NEAR(stepLengthAndLoss(305.0f).lengthCm, 0.079f, 0.0005f);
}

TEST(Transport, A306KeVHistoryStepsStraightDeflectsOnceAndEndsWithTheRest) {
    const ElectronData data = testing_support::gaussianWidthTable();
    LaggedGenerator generator;
    generator.seed();
    const LaggedGenerator before = generator;
    RecordingScorer scorer;
    runHistory(narrowBeamStart(306.0f), data, generator, scorer);
    ASSERT_EQ(scorer.deposits.size(), 2u);
    const Deposit& first = scorer.deposits[0];
    EXPECT_EQ(first.energyKeV, 0.08299595f * 306.0f);
    EXPECT_NEAR(first.end.z - 1.5f, 0.0107f, 0.0002f);
    EXPECT_EQ(first.end.x, 0.0f);
    const Deposit& last = scorer.deposits[1];
    EXPECT_EQ(last.start.z, first.end.z);
    EXPECT_EQ(last.energyKeV, 306.0f - 0.08299595f * 306.0f);
    EXPECT_NE(last.end.x, 0.0f);  // the deflection drawn at 306 keV turned the final step
    EXPECT_EQ(drawsBetween(before, generator), 2);
}

TEST(Transport, BelowTheTableAnElectronKeepsItsDirection) {
    ElectronData data = testing_support::gaussianWidthTable();
    for (float& energy : data.tableEnergyKeV) energy += 2000.0f;  // lowest row now above 2 MeV
    LaggedGenerator generator;
    generator.seed();
    RecordingScorer scorer;
    runHistory(narrowBeamStart(1900.0f), data, generator, scorer);
    ASSERT_GT(scorer.deposits.size(), 10u);
    for (const Deposit& d : scorer.deposits) EXPECT_EQ(d.end.x, 0.0f);
}

TEST(Rotation, TurnsByTheDeflectionAngleAndHandlesTheAxis) {
    // From a direction along the axis: the azimuth becomes (-cos phi, sin phi).
    Deflection pending{true, 0.8f, 0.6f, 0.28f, 0.96f};
    const Direction fromAxis = rotate(Direction{}, pending);
    EXPECT_FLOAT_EQ(fromAxis.cosTheta, 0.8f);
    EXPECT_EQ(fromAxis.cosPhi, -0.28f);
    EXPECT_EQ(fromAxis.sinPhi, 0.96f);

    // Turned exactly onto the axis: azimuth (1, 0).
    const Direction tilted{0.0f, 1.0f, 0.0f, 1.0f};
    const Direction ontoAxis = rotate(tilted, Deflection{true, 0.0f, 1.0f, 1.0f, 0.0f});
    EXPECT_EQ(ontoAxis.sinTheta, 0.0f);
    EXPECT_EQ(ontoAxis.cosPhi, 1.0f);
    EXPECT_EQ(ontoAxis.sinPhi, 0.0f);

    // In general the new direction is a unit vector at angle chi to the old one.
    auto vec = [](const Direction& d) {
        return std::array<double, 3>{static_cast<double>(d.sinTheta) * static_cast<double>(d.cosPhi),
                                     static_cast<double>(d.sinTheta) * static_cast<double>(d.sinPhi),
                                     static_cast<double>(d.cosTheta)};
    };
    LaggedGenerator generator;
    generator.seed();
    for (int k = 0; k < 1000; ++k) {
        const float theta = generator.nextUniform() * 3.0f + 0.05f;
        const float phi = generator.nextUniform() * 6.2f;
        const float chi = generator.nextUniform() * 3.0f;
        const float azimuth = generator.nextUniform() * 6.2f;
        const Direction current{std::cos(theta), std::sin(theta), std::cos(phi), std::sin(phi)};
        const Direction turned = rotate(
            current, Deflection{true, std::cos(chi), std::sin(chi), std::cos(azimuth), std::sin(azimuth)});
        const auto a = vec(current);
        const auto b = vec(turned);
        const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
        ASSERT_NEAR(b[0] * b[0] + b[1] * b[1] + b[2] * b[2], 1.0, 1e-5);
        ASSERT_NEAR(dot, std::cos(static_cast<double>(chi)), 2e-4) << "theta " << theta << " chi " << chi;
    }
}

}  // namespace
