#include "fit/axis_basis.h"

#include "depthdose/depthdose_simulation.h"
#include "engine/console.h"
#include "engine/energy_ladder.h"
#include "fit/beta_weights.h"
#include "fit/model_curve.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <sstream>
#include <thread>
#include <vector>

namespace {

const engine::ElectronData& electronData() {
    static const engine::ElectronData data = engine::loadElectronData(ELDAT_PATH);
    return data;
}

TEST(AxisBasis, StartsOverTheEnlargedFieldAwayFromTheSource) {
    engine::LaggedGenerator generator;
    generator.seed();
    const engine::ElectronState start = fit::enlargedFieldStart(9000.0f, generator);
    // The field source's first start (-2.858, 6.514) cm scaled from the 15 cm to the 21 cm square.
    EXPECT_NEAR(start.position.x, -2.858 * 21.0 / 15.0, 0.002);
    EXPECT_NEAR(start.position.y, 6.514 * 21.0 / 15.0, 0.002);
    EXPECT_EQ(start.position.z, 1.5f);
    const float rho = std::hypot(start.position.x, start.position.y);
    EXPECT_NEAR(start.direction.sinTheta / start.direction.cosTheta, rho / 100.0f, 1e-6f);
    EXPECT_NEAR(start.direction.cosPhi * rho, start.position.x, 1e-5f);
    EXPECT_EQ(start.energyKeV, 9000.0f);
}

TEST(AxisBasis, BatchVarianceMatchesTheScatterBetweenIndependentRuns) {
    // Two runs of one energy from different parts of the sequence: their difference, slab by slab,
    // must scatter as the two variances the batches estimate say (ratio 1 on average over the
    // slabs that see dose; a variance off by a factor of two fails).
    constexpr float ENERGY_KEV = 4000.0f;
    constexpr std::int32_t HISTORIES = 3000;
    engine::LaggedGenerator first;
    first.seed();
    engine::LaggedGenerator second = first;
    for (std::int64_t draw = 0; draw < fit::drawsPerHistoryBound(ENERGY_KEV) * HISTORIES; ++draw) second.nextInteger();
    const fit::CounterCurve a = fit::simulateCounterCurve(ENERGY_KEV, HISTORIES, electronData(), first);
    const fit::CounterCurve b = fit::simulateCounterCurve(ENERGY_KEV, HISTORIES, electronData(), second);
    double ratioSum = 0.0;
    int slabs = 0;
    for (std::size_t s = 0; s < a.energyPerHistoryKeV.size(); ++s) {
        const double variance = a.varianceKeV2[s] + b.varianceKeV2[s];
        if (!(variance > 0.0)) continue;
        const double d = a.energyPerHistoryKeV[s] - b.energyPerHistoryKeV[s];
        ratioSum += d * d / variance;
        ++slabs;
    }
    ASSERT_GT(slabs, 15);
    EXPECT_GT(ratioSum / slabs, 0.6);
    EXPECT_LT(ratioSum / slabs, 1.6);
    // The variance is of the mean over all histories: a few tenths of a percent of the dose at the
    // maximum for a few thousand histories, not of a single history.
    const auto top = std::max_element(a.energyPerHistoryKeV.begin(), a.energyPerHistoryKeV.end()) -
                     a.energyPerHistoryKeV.begin();
    const double relative = std::sqrt(a.varianceKeV2[static_cast<std::size_t>(top)]) /
                            a.energyPerHistoryKeV[static_cast<std::size_t>(top)];
    EXPECT_GT(relative, 0.001);
    EXPECT_LT(relative, 0.05);
}

TEST(AxisBasis, RandomBlocksAreLongEnoughForEveryHistory) {
    for (float energy : {350.0f, 3000.0f, 20000.0f, 33600.0f}) {
        engine::LaggedGenerator generator;
        generator.seed();
        const auto curve = fit::simulateCounterCurve(energy, 300, electronData(), generator);
        // Two source draws per history and at most two per step.
        EXPECT_LE(2 * 300 + 2 * curve.steps, fit::drawsPerHistoryBound(energy) * 300) << energy;
        // The engine's own count for a whole history: two source draws and its deflections.
        const engine::EnergyLadder ladder(energy, electronData());
        EXPECT_LE(static_cast<std::int64_t>(2 + ladder.drawsOfWholeLadder()), fit::drawsPerHistoryBound(energy))
            << energy;
    }
}

TEST(AxisBasis, ReproducibleAndIndependentOfTheNumberOfThreads) {
    fit::AxisBasis one;
    fit::AxisBasis two;
    ASSERT_TRUE(fit::simulateBasis(electronData(), 2.0f, 60, 14, 1, one));
    ASSERT_TRUE(fit::simulateBasis(electronData(), 2.0f, 60, 14, 2, two));
    EXPECT_EQ(one.curve, two.curve);
    EXPECT_EQ(one.energyKeV.back(), fit::basisEnergyKeV(2.0f, 14));
    // Each curve has its own stream: neighbouring energies are not copies of one another.
    EXPECT_NE(one.curve[12], one.curve[13]);
    std::atomic<bool> cancel{true};
    fit::AxisBasis stopped;
    EXPECT_FALSE(fit::simulateBasis(electronData(), 2.0f, 60, 14, 2, stopped, {}, &cancel));
}

TEST(AxisBasis, ProgressCountsNeverRunBackwardsWhateverTheThreadsDo) {
    // A slow report keeps the others queued at it, each with its curve finished: the counts must
    // still come out 1, 2, 3, ... in that order.
    std::vector<int> counts;
    const fit::BasisProgress slowReport = [&counts](int done, int total) {
        EXPECT_EQ(total, 24);
        counts.push_back(done);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    for (int round = 0; round < 5; ++round) {
        counts.clear();
        fit::AxisBasis basis;
        ASSERT_TRUE(fit::simulateBasis(electronData(), 2.0f, 20, 24, 4, basis, slowReport));
        std::vector<int> expected(24);
        std::iota(expected.begin(), expected.end(), 1);
        ASSERT_EQ(counts, expected) << "round " << round;
    }
}

// Tolvane run in a folder on a Beta spectrum, its relative axis dose by label.
fit::DepthCurve runTolvane(double alpha, double beta, const std::string& maxEnergy, int histories) {
    testing_support::TempFolder folder("fit-tolvane");
    testing_support::writeFile(folder.path() / "ELDAT.dat", testing_support::readFile(ELDAT_PATH));
    testing_support::writeRunFile(folder.path(), maxEnergy, std::to_string(histories), "t.pdd", "t.spct");
    testing_support::writeBetaSpectrum(folder.path(), alpha, beta);
    std::istringstream in("\n");
    std::ostringstream out;
    engine::Console console(in, out, false);
    depthdose::runDepthDoseSimulation(folder.path(), console);
    std::istringstream result(testing_support::readFile(folder.path() / "t.pdd"));
    std::string line;
    std::getline(result, line);
    std::getline(result, line);
    fit::DepthCurve curve{};
    for (double& value : curve) {
        double label = 0.0;
        result >> label >> value;
    }
    return curve;
}

// The model from a basis with its multi-counter scoring against the simulator's own axis counter,
// on a spectrum, both statistically limited. The simulator's noise is measured from the curve
// itself (second differences), its noisy maximum is taken out by a fitted scale, and the
// difference must stay at the noise level, while the same model one slab off must not.
TEST(AxisBasis, ModelAgreesWithTheSimulatorWithinItsNoise) {
    constexpr double ALPHA = 8.0;
    constexpr double BETA = 2.0;
    fit::AxisBasis basis;
    ASSERT_TRUE(fit::simulateBasis(electronData(), 5.0f, 1500, fit::basisCurveCount(), 2, basis));
    const fit::ModelBasis model(basis);
    const fit::DepthCurve m = fit::relativeModelCurve(model.binCurves(5.0f),
                                                      *fit::simulatorSpectrum(ALPHA, BETA, 5.0f));
    const fit::DepthCurve t = runTolvane(ALPHA, BETA, " 5.0", 400000);

    // Slabs from label 3 to where the simulator's dose falls below 10 %.
    std::size_t last = 17;
    while (last + 1 < t.size() && t[last + 1] > 0.1) ++last;
    const std::size_t first = 17;
    ASSERT_GT(last, first + 10);
    double curvature = 0.0;
    for (std::size_t j = first; j <= last; ++j) {
        const double s = t[j - 1] - 2.0 * t[j] + t[j + 1];
        curvature += s * s;
    }
    const double noise = std::sqrt(curvature / static_cast<double>(last - first + 1) / 6.0);

    auto residual = [&](int shift) {
        double tm = 0.0;
        double mm = 0.0;
        for (std::size_t j = first; j <= last; ++j) {
            const double mj = m[j - static_cast<std::size_t>(shift)];
            tm += t[j] * mj;
            mm += mj * mj;
        }
        const double scale = tm / mm;
        double sum = 0.0;
        for (std::size_t j = first; j <= last; ++j) {
            const double d = t[j] - scale * m[j - static_cast<std::size_t>(shift)];
            sum += d * d;
        }
        return std::make_pair(std::sqrt(sum / static_cast<double>(last - first + 1)), scale);
    };
    const auto [agreement, scale] = residual(0);
    const auto [shifted, unused] = residual(1);
    std::cout << "simulator noise " << noise << ", rms difference " << agreement << " (scale " << scale
              << "), one slab off " << shifted << "\n";
    EXPECT_LT(agreement, 1.5 * noise);
    EXPECT_NEAR(scale, 1.0, 6.0 * noise);
    EXPECT_GT(shifted, 1.5 * noise);  // the comparison can tell a millimetre
}

}  // namespace
