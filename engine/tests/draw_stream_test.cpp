#include "engine/draw_stream.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using namespace engine;

void expectSameState(const LaggedGenerator& a, const LaggedGenerator& b) {
    EXPECT_EQ(a.laggingCursor(), b.laggingCursor());
    EXPECT_EQ(a.updatedCursor(), b.updatedCursor());
    for (int i = 1; i <= LaggedGenerator::TABLE_SIZE; ++i) ASSERT_EQ(a.entry(i), b.entry(i)) << "entry " << i;
}

// Handing back the last 55 integers of n draws must leave the state of drawing them one by one,
// for counts below, at and above the table length and across the cursors' wrap.
TEST(LaggedGenerator, SkippingAheadWithTheLastIntegersEqualsDrawingThem) {
    for (int count : {0, 1, 23, 54, 55, 56, 110, 1000, 12345}) {
        LaggedGenerator drawn;
        drawn.seed();
        LaggedGenerator skipped = drawn;
        const auto start = drawn.recentIntegers();  // one array: begin and end of the same object
        std::vector<std::int32_t> integers(start.begin(), start.end());
        for (int i = 0; i < count; ++i) integers.push_back(drawn.nextInteger());
        std::array<std::int32_t, LaggedGenerator::TABLE_SIZE> last{};
        std::copy(integers.end() - LaggedGenerator::TABLE_SIZE, integers.end(), last.begin());
        EXPECT_EQ(drawn.recentIntegers(), last) << count;
        skipped.skipAhead(count, last);
        expectSameState(skipped, drawn);
    }
}

TEST(DrawStream, HandsOutTheSequenceAcrossRefillsAndLeavesTheGeneratorAfterTheUsedIntegers) {
    LaggedGenerator reference;
    reference.seed();
    LaggedGenerator generator;
    generator.seed();
    {
        DrawStream stream(generator);
        // Mostly small uses, now and then a look far ahead that forces a refill.
        for (int round = 0; round < 300; ++round) {
            const std::size_t look = round % 50 == 7 ? 40000 : 97;
            const std::int32_t* ahead = stream.ahead(look);
            DrawCursor cursor(ahead);
            LaggedGenerator peek = reference;
            EXPECT_EQ(cursor.nextUniform(), peek.nextUniform());
            const std::size_t used = static_cast<std::size_t>(round * 7 % 90);
            for (std::size_t i = 0; i < used; ++i) ASSERT_EQ(ahead[i], reference.nextInteger()) << "round " << round;
            stream.commit(used);
        }
        stream.finish();
    }
    expectSameState(generator, reference);
    EXPECT_EQ(generator.nextInteger(), reference.nextInteger());
}

}  // namespace
