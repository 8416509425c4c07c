#pragma once
// The deflection sampling of the transport, prepared once per run. The generator yields one of
// 16384 integers, so everything that depends on a single draw (the column and fraction of the
// quantile interpolation, the azimuth's cosine and sine) is looked up in tables filled with the
// very same float expressions as sampleDeflection; the rows are kept as floats with the rise to
// the next column. Every deflection is bit for bit the one that sampleDeflection gives.
#include "engine/electron_data.h"
#include "engine/lagged_generator.h"

#include <vector>

namespace engine {

class DeflectionSampler {
public:
    explicit DeflectionSampler(const ElectronData& data);

    // The deflection after a step whose start energy lies at `bracket` (which must deflect):
    // draws the column integer, then the azimuth integer (from a LaggedGenerator or a DrawCursor).
    template <class Draws>
    Deflection sample(const EnergyBracket& bracket, Draws& draws) const {
        const ColumnPosition& at = columnOfDraw_[static_cast<std::size_t>(draws.nextInteger())];
        const Azimuth& azimuth = azimuthOfDraw_[static_cast<std::size_t>(draws.nextInteger())];
        const Segment& upper = segments_[segmentIndex(bracket.upperRow, at.column)];
        const Segment& lower = segments_[segmentIndex(bracket.upperRow + 1, at.column)];
        const float cosChi = deflectionCosine(quantileBetween(upper.left, upper.rise, at.fraction),
                                              quantileBetween(lower.left, lower.rise, at.fraction),
                                              bracket.energyFraction);
        return Deflection{true, cosChi, sineOf(cosChi), azimuth.cosine, azimuth.sine};
    }

private:
    static constexpr int SEGMENTS_PER_ROW = QUANTILE_COLUMNS - 1;
    static std::size_t segmentIndex(int row, int column) {
        return static_cast<std::size_t>(row * SEGMENTS_PER_ROW + column);
    }
    struct Segment {
        float left = 0.0f;  // quantile at the column
        float rise = 0.0f;  // quantile at the next column minus this one
    };
    struct Azimuth {
        float cosine = 1.0f;
        float sine = 0.0f;
    };
    std::vector<ColumnPosition> columnOfDraw_;  // by generator integer
    std::vector<Azimuth> azimuthOfDraw_;        // by generator integer
    std::vector<Segment> segments_;             // row-major, 64 per row
};

}  // namespace engine
