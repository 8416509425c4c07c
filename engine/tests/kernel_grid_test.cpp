#include "engine/kernel_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using engine::KernelGrid;
using engine::Point;

float gridSum(const KernelGrid& grid) {
    double sum = 0.0;
    for (int j = 1; j <= KernelGrid::DEPTH_BINS; ++j)
        for (int i = 1; i <= KernelGrid::RADIAL_BINS; ++i) sum += static_cast<double>(grid.cell(j, i));
    return static_cast<float>(sum);
}

TEST(DepositStep, AxisAndConstantDepthExamples) {
    KernelGrid grid;
    grid.depositStep({0.0f, 0.0f, 1.5f}, {0.0f, 0.0f, 1.65f}, 300.0f);
    EXPECT_NEAR(grid.cell(16, 1), 200.0f, 1e-3f);
    EXPECT_NEAR(grid.cell(17, 1), 100.0f, 1e-3f);
    EXPECT_NEAR(gridSum(grid), 300.0f, 1e-3f);

    KernelGrid flat;
    flat.depositStep({0.05f, 0.0f, 1.55f}, {0.25f, 0.0f, 1.55f}, 100.0f);
    EXPECT_NEAR(flat.cell(16, 1), 25.0f, 1e-4f);
    EXPECT_NEAR(flat.cell(16, 2), 50.0f, 1e-4f);
    EXPECT_NEAR(flat.cell(16, 3), 25.0f, 1e-4f);
    EXPECT_NEAR(gridSum(flat), 100.0f, 1e-4f);

    // Reversed direction of travel gives the same sharing.
    KernelGrid reversed;
    reversed.depositStep({0.0f, 0.0f, 1.65f}, {0.0f, 0.0f, 1.5f}, 300.0f);
    EXPECT_EQ(reversed.cell(16, 1), grid.cell(16, 1));
}

TEST(DepositStep, EnergyOutsideTheGridIsDroppedAndTheEdgesHold) {
    KernelGrid grid;
    grid.depositStep({7.4f, 0.0f, 2.05f}, {7.8f, 0.0f, 2.05f}, 400.0f);  // only ring 75 of 7.4..7.8 cm scores
    EXPECT_NEAR(gridSum(grid), 100.0f, 0.01f);
    EXPECT_NEAR(grid.cell(21, 75), 100.0f, 0.01f);

    KernelGrid front;
    front.depositStep({0.0f, 0.0f, -0.5f}, {0.3f, 0.0f, -0.1f}, 50.0f);  // wholly at -0.1 cm or less
    EXPECT_EQ(gridSum(front), 0.0f);
    // Below z = 0 lies outside the grid: only the part from 0 to 0.05 cm scores, in bin 1.
    front.depositStep({0.0f, 0.0f, -0.05f}, {0.0f, 0.0f, 0.05f}, 50.0f);
    EXPECT_EQ(front.cell(1, 1), 25.0f);
    EXPECT_EQ(gridSum(front), 25.0f);
    front.depositStep({0.0f, 0.0f, -0.05f}, {0.0f, 0.0f, -0.05f}, 10.0f);  // a point in front of the grid
    EXPECT_EQ(gridSum(front), 25.0f);

    // A step from 1.5 cm in front of the entry plane and more: the part in front of z = 0 used to
    // be shared into bin 1 with a negative weight (bin 0 truncated to bin 1). No cell may be negative.
    KernelGrid backward;
    backward.depositStep({0.02f, 0.0f, -0.15f}, {0.04f, 0.0f, -0.05f}, 30.0f);  // wholly in front of z = 0
    backward.depositStep({0.0f, 0.01f, -0.15f}, {0.0f, 0.01f, -0.05f}, 30.0f);  // the same along the axis
    EXPECT_EQ(gridSum(backward), 0.0f);
    backward.depositStep({0.3f, 0.0f, 0.25f}, {0.1f, 0.0f, -0.15f}, 40.0f);  // across z = 0, slanted
    for (int j = 1; j <= KernelGrid::DEPTH_BINS; ++j)
        for (int i = 1; i <= KernelGrid::RADIAL_BINS; ++i) ASSERT_GE(backward.cell(j, i), 0.0f) << j << " " << i;
    EXPECT_NEAR(gridSum(backward), 40.0f * 0.25f / 0.4f, 1e-4f);  // the share of 0 <= z <= 0.25

    KernelGrid deep;
    deep.depositStep({0.0f, 0.0f, 12.45f}, {0.0f, 0.0f, 12.65f}, 40.0f);
    EXPECT_NEAR(gridSum(deep), 10.0f, 1e-3f);  // 12.45..12.5 of 12.45..12.65
}

TEST(DepositStep, SlantedStepsInsideTheGridConserveEnergy) {
    engine::LaggedGenerator generator;
    generator.seed();
    for (int k = 0; k < 2000; ++k) {
        KernelGrid grid;
        const Point start{generator.nextUniform() * 4.0f - 2.0f, generator.nextUniform() * 4.0f - 2.0f,
                          generator.nextUniform() * 8.0f + 1.0f};
        const Point end{start.x + generator.nextUniform() - 0.5f, start.y + generator.nextUniform() - 0.5f,
                        start.z + generator.nextUniform() - 0.5f};
        grid.depositStep(start, end, 1000.0f);
        ASSERT_NEAR(gridSum(grid), 1000.0f, 0.02f) << "step " << k;
        for (int j = 1; j <= KernelGrid::DEPTH_BINS; ++j)
            for (int i = 1; i <= KernelGrid::RADIAL_BINS; ++i) ASSERT_GE(grid.cell(j, i), -1e-3f);
    }
}

TEST(DepositStep, RunawayCoordinatesScoreNothingOrOnlyInsideTheGrid) {
    const float huge = 1.0e30f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    KernelGrid grid;
    grid.depositStep({0.0f, 0.0f, 1.5f}, {0.0f, 0.0f, huge}, 100.0f);  // along the axis to far depth
    grid.depositStep({0.0f, 0.0f, -huge}, {0.0f, 0.0f, huge}, 100.0f);
    grid.depositStep({huge, 0.0f, 2.0f}, {0.0f, huge, 3.0f}, 100.0f);
    grid.depositStep({0.0f, 0.0f, 2.0f}, {huge, 0.0f, 2.0f + huge}, 100.0f);
    grid.depositStep({nan, 0.0f, 2.0f}, {0.1f, 0.0f, 2.0f}, 100.0f);
    grid.depositStep({0.0f, 0.0f, 2.0f}, {0.3f, 0.0f, nan}, 100.0f);
    grid.depositStep({0.0f, 0.0f, 2.0f}, {inf, 0.0f, 3.0f}, 100.0f);
    grid.depositStep({0.0f, 0.0f, 2.0f}, {0.3f, 0.0f, 3.0f}, nan);
    const float sum = gridSum(grid);
    EXPECT_TRUE(std::isfinite(sum));
    EXPECT_LT(sum, 1.0e-3f);  // nothing sizeable: the steps are astronomically long or undefined
    EXPECT_EQ(KernelGrid::binOf(huge), KernelGrid::binOf(2.0f * huge));
    EXPECT_LT(KernelGrid::binOf(-huge), 1);
    EXPECT_EQ(KernelGrid::binOf(0.15f), 2);
    EXPECT_EQ(KernelGrid::binOf(-0.05f), 0);
    EXPECT_EQ(KernelGrid::binOf(-0.1f), 0);
    EXPECT_EQ(KernelGrid::binOf(-0.15f), -1);
    EXPECT_EQ(KernelGrid::binOf(0.0f), 1);
    EXPECT_EQ(KernelGrid::binOf(-0.0f), 1);
}

TEST(KernelGrid, InnerRingsAloneMatchTheFullGridAndNormaliseDivides) {
    engine::LaggedGenerator generator;
    generator.seed();
    KernelGrid full;
    KernelGrid inner(5);
    for (int k = 0; k < 3000; ++k) {
        const Point start{generator.nextUniform() - 0.5f, generator.nextUniform() - 0.5f,
                          generator.nextUniform() * 3.0f};
        const Point end{start.x + generator.nextUniform() - 0.5f, start.y, start.z + generator.nextUniform() * 0.3f};
        full.depositStep(start, end, 10.0f);
        inner.depositStep(start, end, 10.0f);
    }
    for (int j = 1; j <= KernelGrid::DEPTH_BINS; ++j) {
        for (int i = 1; i <= 5; ++i) ASSERT_EQ(inner.cell(j, i), full.cell(j, i));
        for (int i = 6; i <= KernelGrid::RADIAL_BINS; ++i) ASSERT_EQ(inner.cell(j, i), 0.0f);
    }
    const float before = full.cell(16, 1);
    full.normalise(4.0f);
    EXPECT_EQ(full.cell(16, 1), before / 4.0f);
}

// A segment declared unscorable must add nothing to the grid, right up to the edge of the last
// scored ring; segments that are not numbers are left to depositStep.
TEST(KernelGrid, SegmentsItDeclaresUnscorableWouldAddNothing) {
    engine::LaggedGenerator generator;
    generator.seed();
    for (int rings : {1, 5, 75}) {
        KernelGrid grid(rings);
        const float edgeCm = 0.1f * static_cast<float>(rings);
        int excluded = 0;
        for (int k = 0; k < 20000; ++k) {
            // Start and end within 0.05 cm of the edge of the scored rings, in all directions.
            const float angle = generator.nextUniform() * 6.2831853f;
            const float r0 = edgeCm + (generator.nextUniform() - 0.5f) * 0.1f;
            const float r1 = edgeCm + (generator.nextUniform() - 0.5f) * 0.1f;
            const Point start{r0 * std::cos(angle), r0 * std::sin(angle), 2.0f};
            const Point end{r1 * std::cos(angle + 0.01f), r1 * std::sin(angle + 0.01f),
                            2.0f + generator.nextUniform() * 0.3f};
            if (grid.mayScore(start, end)) continue;
            ++excluded;
            KernelGrid probe(rings);
            probe.depositStep(start, end, 10.0f);
            ASSERT_EQ(gridSum(probe), 0.0f) << "r0 " << r0 << ", r1 " << r1;
        }
        EXPECT_GT(excluded, 2000) << rings;
        EXPECT_TRUE(grid.mayScore(Point{0.0f, edgeCm - 0.001f, 1.0f}, Point{5.0f, 5.0f, 1.0f}));
        const float nan = std::numeric_limits<float>::quiet_NaN();
        EXPECT_TRUE(grid.mayScore(Point{nan, 9.0f, 1.0f}, Point{9.0f, 9.0f, 1.0f}));
    }
}

}  // namespace
