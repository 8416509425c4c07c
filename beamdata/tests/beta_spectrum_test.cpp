// The Beta spectrum model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "beamdata/beta_spectrum.h"

namespace beamdata {
namespace {

struct Spectrum {
    SpectrumArray density{};
    SpectrumArray relative{};
    SpectrumUpdate update(double alpha, double beta) { return updateSpectrum(alpha, beta, density, relative); }
};

TEST(BetaSpectrum, DefaultShapePeaksAtEightySevenHundredths) {
    Spectrum s;
    ASSERT_EQ(s.update(8.0, 2.0), SpectrumUpdate::Completed);
    const auto peak = std::max_element(s.relative.begin(), s.relative.end()) - s.relative.begin();
    EXPECT_EQ(peak, 87);
    EXPECT_EQ(s.relative[87], 1.0);
    EXPECT_NEAR(s.relative[50], 0.07965, 5e-6);
    EXPECT_EQ(s.relative[100], 0.0);
    EXPECT_EQ(s.relative[0], 0.0);
    // Relative values follow the closed form x^7 (1 - x) / max, independent of the normalising sum.
    const double peakValue = std::pow(0.87, 7) * 0.13;
    for (int j = 0; j <= 100; ++j) {
        const double x = j / 100.0;
        EXPECT_NEAR(s.relative[static_cast<std::size_t>(j)], std::pow(x, 7) * (1 - x) / peakValue, 1e-12);
    }
    // The density is normalised by the sum over x = 0.01..0.99, which is about 100 B(8, 2) = 100/72.
    EXPECT_NEAR(s.density[87] * 100.0 / 72.0, std::pow(0.87, 7) * 0.13, 1e-3 * s.density[87]);
}

TEST(BetaSpectrum, InfiniteEndPointsBecomeZero) {
    Spectrum s;
    ASSERT_EQ(s.update(0.1, 0.1), SpectrumUpdate::Completed);
    EXPECT_EQ(s.density[0], 0.0);
    EXPECT_EQ(s.density[100], 0.0);
    EXPECT_EQ(s.relative[0], 0.0);
    EXPECT_EQ(s.relative[100], 0.0);
    // The largest finite points sit next to the ends, where the density climbs.
    EXPECT_EQ(std::max(s.relative[1], s.relative[99]), 1.0);
    EXPECT_GT(s.relative[1], s.relative[50]);

    ASSERT_EQ(s.update(0.1, 8.0), SpectrumUpdate::Completed);
    EXPECT_EQ(s.density[0], 0.0);
    EXPECT_EQ(s.relative[1], 1.0);
}

TEST(BetaSpectrum, AlphaAndBetaOneGiveAFlatSpectrum) {
    Spectrum s;
    ASSERT_EQ(s.update(1.0, 1.0), SpectrumUpdate::Completed);
    for (double r : s.relative) EXPECT_EQ(r, 1.0);
    EXPECT_NEAR(s.density[0], 1.0 / 99.0, 1e-15);  // 0^0 is 1; 99 points in the sum
}

TEST(BetaSpectrum, StopsQuietlyAndKeepsTheArraysOnOverflowOrZeroSum) {
    Spectrum s;
    s.density.fill(-7.0);
    s.relative.fill(-3.0);
    // 0.01^(-1001) overflows: the run stops before anything is stored.
    EXPECT_EQ(s.update(-1000.0, 2.0), SpectrumUpdate::Stopped);
    for (double d : s.density) EXPECT_EQ(d, -7.0);
    for (double r : s.relative) EXPECT_EQ(r, -3.0);
    // Every term underflows to 0: the normalising sum is 0, a division by zero.
    EXPECT_EQ(s.update(1e6, 1e6), SpectrumUpdate::Stopped);
    for (double r : s.relative) EXPECT_EQ(r, -3.0);
    // A later good update recovers.
    EXPECT_EQ(s.update(8.0, 2.0), SpectrumUpdate::Completed);
    EXPECT_EQ(s.relative[87], 1.0);
}

}  // namespace
}  // namespace beamdata
