#include "tools/eldat_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using tools::QuantileRow;

// Mean cosine of a row by sampling it the way the simulators do: t = u x 64, column n + 1, linear
// in the fraction. The midpoint rule on each sub-interval is exact for a piecewise-linear curve.
double meanBySampling(const QuantileRow& row) {
    constexpr int SUBDIVISIONS = 1000;
    double sum = 0.0;
    for (int i = 0; i < 64 * SUBDIVISIONS; ++i) {
        const double t = (i + 0.5) / SUBDIVISIONS;
        const auto n = static_cast<std::size_t>(t);
        const double fraction = t - static_cast<double>(n);
        sum += row[n] + (row[n + 1] - row[n]) * fraction;
    }
    return sum / (64.0 * SUBDIVISIONS) / 16384.0;
}

TEST(TableEnergies, DescendLogEvenlyFromSixtyMeVToJustBelowTheFinalStep) {
    const std::vector<double> energies = tools::tableEnergiesKeV();
    ASSERT_EQ(energies.size(), 24u);
    EXPECT_DOUBLE_EQ(energies.front(), 60000.0);
    EXPECT_DOUBLE_EQ(energies.back(), 300.0);
    EXPECT_LT(energies.back(), 305.0);
    const double ratio = std::pow(300.0 / 60000.0, 1.0 / 23.0);
    for (std::size_t k = 1; k < energies.size(); ++k) {
        EXPECT_LT(energies[k], energies[k - 1]);
        // 7 significant digits hold an energy to 5e-7 of itself.
        EXPECT_NEAR(energies[k] / energies[k - 1], ratio, 1e-6);
        // The physics of a row is computed at exactly the value the simulators read.
        EXPECT_EQ(static_cast<double>(static_cast<float>(energies[k])), energies[k]);
    }
}

// Every row: starts at no deflection, cosines never increase along the row, the last column stays a
// cosine, and the row as the engine samples it has the exact GS mean cosine exp(-G_1) to within
// what integer storage allows (half a count over 128 weights).
TEST(ScatteringTable, RowsAreOrderedAndKeepTheExactMeanCosine) {
    const tools::ScatteringTable table = tools::buildScatteringTable();
    ASSERT_EQ(table.quantiles.size(), 24u);
    const double storageResolution = 0.5 / (128.0 * 16384.0);
    for (std::size_t k = 0; k < table.quantiles.size(); ++k) {
        SCOPED_TRACE(table.energyKeV[k]);
        const QuantileRow& row = table.quantiles[k];
        EXPECT_EQ(row.front(), 16384);
        for (std::size_t c = 1; c < row.size(); ++c) EXPECT_LE(row[c], row[c - 1]) << "column " << c + 1;
        EXPECT_GE(row.back(), -16384);
        EXPECT_NEAR(tools::sampledMeanCosine(row), table.exactMeanCosine[k], storageResolution + 1e-12);
        EXPECT_NEAR(meanBySampling(row), table.exactMeanCosine[k], storageResolution + 1e-9);
        // The true 100 % quantile would be -16384 and scatter far too much.
        EXPECT_GT(row.back(), -16384 + 4000);
    }
    // Scattering per step grows as the energy falls: the mean cosine falls down the table.
    for (std::size_t k = 1; k < table.exactMeanCosine.size(); ++k) {
        EXPECT_LT(table.exactMeanCosine[k], table.exactMeanCosine[k - 1]);
    }
}

// The reference rows in table units: columns 1, 9, ..., 57 to one count, and the moment-matched
// column 65 to the 64 counts by which the rounding of the other 64 columns may move it (we match
// the mean of the rounded row; the reference may have matched the unrounded one).
TEST(ScatteringTable, RowsMatchTheReferenceRowsInTableUnits) {
    struct Ref {
        double energyKeV;
        int columns[8];
        int last;
    };
    const Ref refs[] = {
        {350.0, {16384, 16186, 15951, 15663, 15296, 14793, 14017, 12438}, -8160},
        {1000.0, {16384, 16242, 16074, 15869, 15610, 15257, 14718, 13636}, -4594},
        {3000.0, {16384, 16308, 16219, 16111, 15974, 15789, 15508, 14949}, 1473},
        {10000.0, {16384, 16355, 16320, 16278, 16225, 16154, 16046, 15836}, 8447},
        {25000.0, {16384, 16371, 16355, 16337, 16313, 16282, 16235, 16143}, 12125},
    };
    for (const Ref& ref : refs) {
        SCOPED_TRACE(ref.energyKeV);
        const QuantileRow row = tools::quantileRow(tools::computeStepDistribution(ref.energyKeV));
        for (int i = 0; i < 8; ++i) EXPECT_NEAR(row[static_cast<std::size_t>(8 * i)], ref.columns[i], 1);
        EXPECT_NEAR(row[64], ref.last, 64);
    }
}

}  // namespace
