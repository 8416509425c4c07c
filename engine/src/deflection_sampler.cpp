#include "engine/deflection_sampler.h"

#include <cmath>

namespace engine {

DeflectionSampler::DeflectionSampler(const ElectronData& data)
    : columnOfDraw_(static_cast<std::size_t>(LaggedGenerator::MODULUS)),
      azimuthOfDraw_(static_cast<std::size_t>(LaggedGenerator::MODULUS)),
      segments_(static_cast<std::size_t>(ENERGY_ROWS * SEGMENTS_PER_ROW)) {
    for (std::int32_t integer = 0; integer < LaggedGenerator::MODULUS; ++integer) {
        const float u = LaggedGenerator::uniformOf(integer);
        const auto index = static_cast<std::size_t>(integer);
        columnOfDraw_[index] = columnPosition(u);
        const float angle = azimuthAngle(u);
        azimuthOfDraw_[index] = Azimuth{std::cos(angle), std::sin(angle)};
    }
    for (int row = 0; row < ENERGY_ROWS; ++row) {
        const auto& quantiles = data.deflectionQuantiles[static_cast<std::size_t>(row)];
        for (int column = 0; column < SEGMENTS_PER_ROW; ++column) {
            const float left = static_cast<float>(quantiles[static_cast<std::size_t>(column)]);
            const float right = static_cast<float>(quantiles[static_cast<std::size_t>(column + 1)]);
            segments_[segmentIndex(row, column)] = Segment{left, right - left};
        }
    }
}

}  // namespace engine
