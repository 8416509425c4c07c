#pragma once
// Additive lagged Fibonacci generator with lags 24 and 55 on 14-bit integers:
//   x(n) = (x(n-24) + x(n-55)) mod 2^14,  u = x(n) / 16384.1
// started from a fixed seed table and warmed up, so that every run with the same inputs draws the
// same sequence. The generator is a plain value that the simulation passes around explicitly.
#include <array>
#include <cstdint>

namespace engine {

class LaggedGenerator {
public:
    static constexpr int TABLE_SIZE = 55;            // the long lag
    static constexpr int LAGGING_CURSOR_START = 24;  // the short lag
    static constexpr std::int32_t MODULUS = 16384;   // 2^14
    static constexpr std::int32_t FIRST_SEED = 3783;
    static constexpr int WARM_UP_DRAWS = 1000;
    // Dividing by slightly more than 2^14 keeps every uniform strictly below 1.
    static constexpr float DIVISOR = 16384.1f;

    // Not seeded until seed() runs; a default generator draws nothing meaningful.
    LaggedGenerator() = default;

    // Fills the table from the fixed seed, sets the cursors and runs the warm-up draws.
    void seed();

    // The table before the warm-up: entry 1 = 3783, entry i = (2 x entry(i-1) + i) mod 16384.
    static std::array<std::int32_t, TABLE_SIZE> seedTable();

    // Next integer of the sequence, 0 to 16383.
    std::int32_t nextInteger() {
        std::int32_t& updated = table_[static_cast<std::size_t>(updatedCursor_ - 1)];
        updated = (table_[static_cast<std::size_t>(laggingCursor_ - 1)] + updated) % MODULUS;
        const std::int32_t value = updated;
        laggingCursor_ = laggingCursor_ == 1 ? TABLE_SIZE : laggingCursor_ - 1;
        updatedCursor_ = updatedCursor_ == 1 ? TABLE_SIZE : updatedCursor_ - 1;
        return value;
    }

    // Uniform in [0, 1): the next integer divided by 16384.1 in single precision.
    float nextUniform() { return uniformOf(nextInteger()); }

    // The uniform that belongs to an integer of the sequence (0 to 16383).
    static float uniformOf(std::int32_t integer) { return static_cast<float>(integer) / DIVISOR; }

    // The last 55 integers of the sequence, oldest first: x(n-55) ... x(n-1).
    std::array<std::int32_t, TABLE_SIZE> recentIntegers() const;

    // The state that drawing `drawCount` more integers one by one would leave, given the last 55 of
    // them (or of the sequence up to them), oldest first. Lets integers produced elsewhere in
    // blocks be handed back.
    void skipAhead(std::int64_t drawCount, const std::array<std::int32_t, TABLE_SIZE>& recent);

    // Inspection for tests: table entry 1..55 and the two cursors (1..55).
    std::int32_t entry(int index) const { return table_[static_cast<std::size_t>(index - 1)]; }
    int laggingCursor() const { return laggingCursor_; }
    int updatedCursor() const { return updatedCursor_; }

private:
    std::array<std::int32_t, TABLE_SIZE> table_{};
    int laggingCursor_ = LAGGING_CURSOR_START;
    int updatedCursor_ = TABLE_SIZE;
};

}  // namespace engine
