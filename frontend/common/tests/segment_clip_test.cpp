#include "common/segment_clip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvalis {
namespace {

const ClipRect FRAME{0.0, 0.0, 10.0, 10.0};

TEST(SegmentClip, KeepsTheSegmentInsideAndCutsAtTheEdges) {
    const auto inside = clipSegment(1.0, 1.0, 9.0, 5.0, FRAME);
    ASSERT_TRUE(inside.has_value());
    EXPECT_EQ(inside->enter, 0.0);
    EXPECT_EQ(inside->leave, 1.0);

    const auto across = clipSegment(-10.0, 5.0, 20.0, 5.0, FRAME);  // enters at x = 0, leaves at x = 10
    ASSERT_TRUE(across.has_value());
    EXPECT_DOUBLE_EQ(across->enter, 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(across->leave, 2.0 / 3.0);

    const auto diagonal = clipSegment(5.0, 5.0, 5.0 + 1.0e300, 5.0 - 1.0e300, FRAME);  // leaves at y = 0
    ASSERT_TRUE(diagonal.has_value());
    EXPECT_DOUBLE_EQ(5.0 - 1.0e300 * diagonal->leave, 0.0);

    EXPECT_FALSE(clipSegment(-5.0, -5.0, -1.0, 20.0, FRAME).has_value());  // passes beside the frame
    EXPECT_FALSE(clipSegment(11.0, 1.0, 11.0, 9.0, FRAME).has_value());    // parallel, outside
    EXPECT_TRUE(clipSegment(10.0, 1.0, 10.0, 9.0, FRAME).has_value());     // on the edge
}

TEST(SegmentClip, NumbersBeyondReasonGiveNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(clipSegment(nan, 1.0, 5.0, 5.0, FRAME).has_value());
    EXPECT_FALSE(clipSegment(1.0, 1.0, 5.0, inf, FRAME).has_value());
    EXPECT_FALSE(clipSegment(-1.7e308, 1.0, 1.7e308, 1.0, FRAME).has_value());  // the difference overflows
}

}  // namespace
}  // namespace orvalis
