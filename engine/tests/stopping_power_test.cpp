#include "engine/stopping_power.h"

#include <gtest/gtest.h>

namespace {

constexpr float ENERGY_LOSS_FRACTION = 0.08299595f;

// Orientation figures of the engine's stopping power: ~1871 keV/cm at 1 MeV, ~1996 keV/cm at 10 MeV,
// giving ordinary steps of ~0.044 cm and ~0.416 cm.
TEST(CollisionStoppingPower, MatchesTheOrientationFigures) {
    EXPECT_NEAR(engine::collisionStoppingPower(1000.0f), 1871.0f, 1.0f);
    EXPECT_NEAR(engine::collisionStoppingPower(10000.0f), 1996.0f, 1.0f);
    EXPECT_NEAR(ENERGY_LOSS_FRACTION * 1000.0f / engine::collisionStoppingPower(1000.0f), 0.044f, 0.0005f);
    EXPECT_NEAR(ENERGY_LOSS_FRACTION * 10000.0f / engine::collisionStoppingPower(10000.0f), 0.416f, 0.0005f);
}

// The minimum of the collision stopping power of water lies near 1.5 MeV; the curve falls below it
// and rises slowly above it.
TEST(CollisionStoppingPower, FallsThenRisesThroughItsMinimum) {
    EXPECT_GT(engine::collisionStoppingPower(400.0f), engine::collisionStoppingPower(1000.0f));
    EXPECT_LT(engine::collisionStoppingPower(1500.0f), engine::collisionStoppingPower(20000.0f));
    EXPECT_LT(engine::collisionStoppingPower(20000.0f), engine::collisionStoppingPower(60000.0f));
}

}  // namespace
