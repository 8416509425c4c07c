#include "engine/draw_stream.h"

#include <algorithm>

namespace engine {

DrawStream::DrawStream(LaggedGenerator& generator) : generator_(generator) {
    const auto recent = generator.recentIntegers();
    values_.assign(recent.begin(), recent.end());
    filled_ = HISTORY;
}

const std::int32_t* DrawStream::ahead(std::size_t count) {
    if (used_ + count > filled_) {
        // Keep the 55 integers before the first unused one, which the recurrence needs, and
        // continue the sequence x(n) = x(n-24) + x(n-55) mod 2^14 behind those still ahead.
        const std::size_t kept = filled_ - (used_ - HISTORY);
        if (used_ > HISTORY)
            std::copy(values_.begin() + static_cast<std::ptrdiff_t>(used_ - HISTORY),
                      values_.begin() + static_cast<std::ptrdiff_t>(filled_), values_.begin());
        used_ = HISTORY;
        if (values_.size() < used_ + count + BLOCK) values_.resize(used_ + count + BLOCK);
        std::int32_t* x = values_.data();
        for (std::size_t n = kept; n < values_.size(); ++n) x[n] = (x[n - 24] + x[n - 55]) % LaggedGenerator::MODULUS;
        filled_ = values_.size();
    }
    return values_.data() + used_;
}

void DrawStream::finish() {
    std::array<std::int32_t, LaggedGenerator::TABLE_SIZE> recent{};
    std::copy_n(values_.begin() + static_cast<std::ptrdiff_t>(used_ - HISTORY), HISTORY, recent.begin());
    generator_.skipAhead(usedTotal_, recent);
    usedTotal_ = 0;
    values_.assign(recent.begin(), recent.end());
    used_ = HISTORY;
    filled_ = HISTORY;
}

}  // namespace engine
