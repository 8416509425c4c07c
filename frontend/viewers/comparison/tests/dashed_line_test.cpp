#include "viewers/dashed_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace orvalis::viewers;

TEST(DashedLine, DashesFollowThePatternAlongTheLine) {
    // A straight line of 100 px in x: dashes of 8 px every 13 px, all on the line.
    const std::vector<PlotPoint> line{{0.0, 500.0}, {500.0, 500.0}, {1000.0, 500.0}};
    const orvalis::ClipRect plotArea{-500.0, -130.0, 10100.0, 1020.0};
    const auto dashes = dashedSegments(line, 10.0, 1.0, 8.0, 5.0, plotArea);
    double drawn = 0.0;
    for (const PlotSegment& d : dashes) {
        EXPECT_EQ(d.from.y, 500.0);
        EXPECT_LE(d.to.x - d.from.x, 80.0 + 1e-9);
        drawn += d.to.x - d.from.x;
    }
    EXPECT_EQ(dashes.size(), 8u);  // at 0, 13, ..., 91 px; the joint at 50 px falls in a gap
    EXPECT_NEAR(drawn, 8 * 80.0, 1e-9);
    EXPECT_TRUE(dashedSegments(line, 10.0, 1.0, 0.0, 5.0, plotArea).empty());
}

// A curve with a dose of -1e6 asked for 67 million dashes and ended the program; -1e308 never
// ended. The dashes are bounded by the frame.
TEST(DashedLine, DashesAreBoundedByTheFrame) {
    const orvalis::ClipRect plotArea{-500.0, -130.0, 10100.0, 1020.0};
    const double xUnitsPerPx = 10600.0 / 630.0;  // the comparison plot, about 630 x 540 px
    const double yUnitsPerPx = 1150.0 / 540.0;
    for (double y : {-1.0e9, -1.0e308, -HUGE_VAL, std::nan("")}) {
        std::vector<PlotPoint> curve;
        for (int i = 0; i < 100; ++i) curve.push_back({100.0 * i, i == 50 ? y : 500.0});
        const auto dashes = dashedSegments(curve, xUnitsPerPx, yUnitsPerPx, 8.0, 5.0, plotArea);
        // Each of the 99 segments shows at most the frame's diagonal (about 830 px): 64 dashes.
        EXPECT_LE(dashes.size(), 99u * 65u) << y;
        EXPECT_GE(dashes.size(), 30u) << y;  // the rest of the curve is still drawn
        for (const PlotSegment& d : dashes) {
            EXPECT_GE(d.from.y, plotArea.yMin);
            EXPECT_LE(d.to.y, plotArea.yMax);
        }
    }
    // The pattern runs on across a part outside the frame, as if it had been drawn.
    const std::vector<PlotPoint> through{{-1500.0, 500.0}, {1000.0, 500.0}};
    const std::vector<PlotPoint> inside{{-500.0, 500.0}, {1000.0, 500.0}};
    const auto cut = dashedSegments(through, 10.0, 1.0, 8.0, 5.0, plotArea);
    const auto whole = dashedSegments(through, 10.0, 1.0, 8.0, 5.0, {-1.0e9, -1.0e9, 1.0e9, 1.0e9});
    ASSERT_FALSE(cut.empty());
    EXPECT_NEAR(cut.back().to.x, whole.back().to.x, 1e-6);
    EXPECT_NE(dashedSegments(inside, 10.0, 1.0, 8.0, 5.0, plotArea).front().from.x, cut.front().from.x);
}
