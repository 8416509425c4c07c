#pragma once
// The generator's integers produced ahead in blocks. Several histories can then take their draws
// from known places further on in the one sequence (each starts where the one before it ends when
// it runs its whole ladder), while the stream hands out, and finally takes back into the
// generator, exactly the integers that were used, in order.
#include "engine/lagged_generator.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine {

// Draws from a place in the stream: the generator's nextInteger/nextUniform over integers that
// are already there.
class DrawCursor {
public:
    explicit DrawCursor(const std::int32_t* next) : next_(next) {}
    std::int32_t nextInteger() { return *next_++; }
    float nextUniform() { return LaggedGenerator::uniformOf(nextInteger()); }
    const std::int32_t* position() const { return next_; }

private:
    const std::int32_t* next_;
};

class DrawStream {
public:
    explicit DrawStream(LaggedGenerator& generator);

    // The first integer not yet used, with at least `count` integers available from there. The
    // pointer stays valid until the next call of ahead().
    const std::int32_t* ahead(std::size_t count);

    // Marks `count` more integers as used.
    void commit(std::size_t count) {
        used_ += count;
        usedTotal_ += static_cast<std::int64_t>(count);
    }

    // Leaves the generator as if it had drawn exactly the used integers one by one.
    void finish();

private:
    static constexpr std::size_t HISTORY = LaggedGenerator::TABLE_SIZE;  // integers kept before the first unused
    static constexpr std::size_t BLOCK = 16384;

    LaggedGenerator& generator_;
    std::vector<std::int32_t> values_;  // values_[used_ - 55 .. filled_): recent integers, then those ahead
    std::size_t used_ = HISTORY;        // index of the first unused integer
    std::size_t filled_ = HISTORY;      // integers produced so far
    std::int64_t usedTotal_ = 0;
};

}  // namespace engine
