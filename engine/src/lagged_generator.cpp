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

}  // namespace engine
