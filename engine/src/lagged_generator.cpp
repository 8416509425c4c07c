#include "engine/lagged_generator.h"

namespace engine {

std::array<std::int32_t, LaggedGenerator::TABLE_SIZE> LaggedGenerator::seedTable() {
    std::array<std::int32_t, TABLE_SIZE> table{};
    table[0] = FIRST_SEED;
    for (int i = 2; i <= TABLE_SIZE; ++i) {
        const auto index = static_cast<std::size_t>(i - 1);
        table[index] = (2 * table[index - 1] + i) % MODULUS;
    }
    return table;
}

void LaggedGenerator::seed() {
    table_ = seedTable();
    laggingCursor_ = LAGGING_CURSOR_START;
    updatedCursor_ = TABLE_SIZE;
    for (int draw = 0; draw < WARM_UP_DRAWS; ++draw) nextInteger();
}

namespace {
// A cursor value moved by `steps` places downward, wrapping within 1..55.
int cursorBelow(int cursor, std::int64_t steps) {
    const std::int64_t size = LaggedGenerator::TABLE_SIZE;
    return static_cast<int>(((cursor - 1 - steps) % size + size) % size) + 1;
}
}  // namespace

// Integers are written at the updated cursor, which moves down by one per draw: the entry just
// below it (cyclically) holds the newest integer and the entry at it the oldest.
std::array<std::int32_t, LaggedGenerator::TABLE_SIZE> LaggedGenerator::recentIntegers() const {
    std::array<std::int32_t, TABLE_SIZE> recent{};
    for (int i = 0; i < TABLE_SIZE; ++i) recent[static_cast<std::size_t>(i)] = entry(cursorBelow(updatedCursor_, i));
    return recent;
}

void LaggedGenerator::skipAhead(std::int64_t drawCount, const std::array<std::int32_t, TABLE_SIZE>& recent) {
    updatedCursor_ = cursorBelow(updatedCursor_, drawCount);
    laggingCursor_ = cursorBelow(laggingCursor_, drawCount);
    for (int i = 0; i < TABLE_SIZE; ++i)
        table_[static_cast<std::size_t>(cursorBelow(updatedCursor_, i) - 1)] = recent[static_cast<std::size_t>(i)];
}

}  // namespace engine
