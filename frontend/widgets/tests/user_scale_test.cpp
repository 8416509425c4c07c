// The mapping between user units and pixels of a picture area.
#include <gtest/gtest.h>

#include "widgets/user_scale.h"

namespace orvalis {
namespace {

TEST(UserScale, MapsAnUpwardScaleOntoTheInnerArea) {
    // The spectrum plot: 0..1000 across, 0 at the bottom and 1000 at the top, 453 x 397 pixels.
    UserScale scale(0.0, 1000.0, 1000.0, -1000.0);
    scale.setPixelSize(453, 397);
    EXPECT_EQ(scale.toPixelX(0.0), 0);
    EXPECT_EQ(scale.toPixelY(1000.0), 0);
    EXPECT_EQ(scale.toPixelY(0.0), 397);
    EXPECT_EQ(scale.toPixelX(1000.0), 453);
    EXPECT_EQ(scale.toPixelX(500.0), 227);  // 226.5 rounds half up
    EXPECT_EQ(scale.toPixelY(500.0), 199);  // 198.5 rounds half up
    EXPECT_EQ(scale.toPixelX(576.0), 261);  // 260.93
    EXPECT_DOUBLE_EQ(scale.toUserX(0), 0.0);
    EXPECT_DOUBLE_EQ(scale.toUserY(0), 1000.0);
    EXPECT_DOUBLE_EQ(scale.toUserY(397), 0.0);
    EXPECT_NEAR(scale.toUserX(452), 997.79, 0.01);  // the last pixel stays below 998
}

TEST(UserScale, PixelsRoundTripThroughUserUnits) {
    UserScale scale(-1.5, 105.0, 22.0, -115.0);  // the spectrum display's chart
    scale.setPixelSize(629, 501);
    for (int px = 0; px < 629; px += 17) EXPECT_EQ(scale.toPixelX(scale.toUserX(px)), px);
    for (int py = 0; py < 501; py += 13) EXPECT_EQ(scale.toPixelY(scale.toUserY(py)), py);
    EXPECT_EQ(scale.toPixelX(0.0), 43);  // 1.5 / 22 * 629 = 42.886
}

TEST(UserScale, DownwardScaleAndDegenerateInput) {
    UserScale scale(0.0, 0.0, 100.0, 50.0);
    scale.setPixelSize(200, 100);
    EXPECT_EQ(scale.toPixelY(25.0), 50);
    EXPECT_EQ(scale.toPixelX(-10.0), -20);
    scale.setScale(0.0, 0.0, 0.0, 0.0);  // a zero extent keeps the previous one
    EXPECT_DOUBLE_EQ(scale.width(), 100.0);
    scale.setPixelSize(0, -3);
    EXPECT_EQ(scale.widthPx(), 1);
    EXPECT_EQ(scale.heightPx(), 1);
    EXPECT_EQ(scale.toPixelX(1e300), 1000000);  // clamped, no overflow
}

}  // namespace
}  // namespace orvalis
