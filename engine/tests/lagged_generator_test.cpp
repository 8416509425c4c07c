#include "engine/lagged_generator.h"

#include <gtest/gtest.h>

namespace {

using engine::LaggedGenerator;

TEST(LaggedGenerator, SeedTableHoldsTheDoublingSequence) {
    const auto table = LaggedGenerator::seedTable();
    const int firstThirteen[] = {3783, 7568, 15139, 13898, 11417, 6456, 12919, 9462, 2549, 5108, 10227, 4082, 8177};
    for (int i = 1; i <= 13; ++i)
        EXPECT_EQ(table[static_cast<std::size_t>(i - 1)], firstThirteen[i - 1]) << "entry " << i;
    // From entry 14 on the doubling saturates: entry i = 16382 - i.
    for (int i = 14; i <= 55; ++i) EXPECT_EQ(table[static_cast<std::size_t>(i - 1)], 16382 - i) << "entry " << i;
}

TEST(LaggedGenerator, WarmUpLeavesCursorsAt14And45AndTheFirstDrawsArePinned) {
    LaggedGenerator generator;
    generator.seed();
    EXPECT_EQ(generator.laggingCursor(), 14);
    EXPECT_EQ(generator.updatedCursor(), 45);

    LaggedGenerator integers = generator;
    const int expectedIntegers[] = {11314, 1077, 7144, 4623, 8326};
    for (int expected : expectedIntegers) EXPECT_EQ(integers.nextInteger(), expected);

    const float expectedUniforms[] = {0.6905476f, 0.0657345f, 0.4360325f, 0.2821638f, 0.5081756f};
    for (float expected : expectedUniforms) EXPECT_NEAR(generator.nextUniform(), expected, 5e-8f);
}

TEST(LaggedGenerator, EachIntegerIsTheSumOfThoseDrawn24And55EarlierAndUniformsStayBelowOne) {
    LaggedGenerator generator;
    generator.seed();
    std::vector<std::int32_t> drawn;
    for (int k = 0; k < 200000; ++k) drawn.push_back(generator.nextInteger());
    for (std::size_t n = 55; n < drawn.size(); ++n)
        ASSERT_EQ(drawn[n], (drawn[n - 24] + drawn[n - 55]) % 16384) << "draw " << n;

    LaggedGenerator reseeded;
    reseeded.seed();
    for (int k = 0; k < 200000; ++k) {
        const float u = reseeded.nextUniform();
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
    }
}

}  // namespace
