#pragma once
// Monoenergetic axis depth doses of the depth-dose geometry, computed on the engine: the divergent
// 15 cm x 15 cm field from the virtual source 100 cm in front of the surface, the surface rule, and
// the axis counter (1 cm diameter, 1 mm slabs) scored by the engine's own depth-by-radius sharing.
//
// Statistics: the axis counter sees only a few histories in a thousand. Where the field is uniform
// every counter of the same size sees the same dose, so a 7 x 7 array of counters at 1 cm pitch
// around the axis is scored at once. To keep each counter exactly in the situation of the axis
// counter, histories start over a square enlarged by the array's reach, and a counter takes only the
// histories that start inside the 15 cm x 15 cm square centred on it; the only difference left is
// the slant of the directions, at most 3 cm / 100 cm, which changes depths by less than 0.05 %.
#include "engine/deflection_sampler.h"
#include "engine/electron_data.h"
#include "engine/kernel_grid.h"
#include "engine/lagged_generator.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace fit {

constexpr int DEPTH_BINS = engine::KernelGrid::DEPTH_BINS;  // 125 slabs of 1 mm, labels -14..110
constexpr int COUNTER_REACH = 3;                            // counters at -3..3 cm in x and y
constexpr int COUNTERS_PER_SIDE = 2 * COUNTER_REACH + 1;
constexpr float COUNTER_PITCH_CM = 1.0f;          // disks of 0.5 cm radius never overlap
constexpr double DEFAULT_MAX_ENERGY_SPAN = 0.10;  // the fit moves Emax by +-10 %

using DepthCurve = std::array<double, DEPTH_BINS>;

// Energy (keV) per history absorbed in the axis counter of each 1 mm slab, for one start energy.
struct CounterCurve {
    DepthCurve energyPerHistoryKeV{};
    std::int64_t ownedHistories = 0;  // histories that the counters took, summed over the counters
    std::int64_t steps = 0;
    DepthCurve varianceKeV2{};  // of energyPerHistoryKeV, from COUNTER_BATCHES batches of histories
};

constexpr int COUNTER_BATCHES = 10;

// The start of a history over the enlarged square (side 15 + 2 x 3 cm): u1 for x, u2 for y as in
// the field source, direction away from the virtual source.
engine::ElectronState enlargedFieldStart(float energyKeV, engine::LaggedGenerator& generator);

// Runs `histories` histories of one energy from the generator as given. Stops early (with the
// histories run so far) when `cancel` becomes true.
CounterCurve simulateCounterCurve(float energyKeV, std::int32_t histories, const engine::ElectronData& data,
                                  engine::LaggedGenerator& generator, const std::atomic<bool>* cancel = nullptr);
// The same with the deflection sampler prepared once for many curves (it is only read).
CounterCurve simulateCounterCurve(float energyKeV, std::int32_t histories, const engine::ElectronData& data,
                                  const engine::DeflectionSampler& sampler, engine::LaggedGenerator& generator,
                                  const std::atomic<bool>* cancel = nullptr);

// The basis: one curve per bin energy k/100 x Emax, k = 1..K, as the simulator would compute the
// energy (relative energy read from its text, times Emax, times 1000, in 32-bit reals). K reaches
// two bins beyond the highest maximum energy the fit may try (112 for a span of 10 %).
struct AxisBasis {
    float centreMaxEnergyMeV = 0.0f;
    std::int32_t historiesPerCurve = 0;
    std::vector<float> energyKeV;   // ascending
    std::vector<DepthCurve> curve;  // keV per history in the axis counter
    // The Monte Carlo variance of each curve's slabs, (keV per history)^2, by batches of histories.
    std::vector<DepthCurve> variance;
};

int basisCurveCount(double maxEnergySpan = DEFAULT_MAX_ENERGY_SPAN);
float basisEnergyKeV(float maxEnergyMeV, int bin);

// Random numbers for the curve of bin k: a block of the generator's one fixed sequence that no
// other curve uses. Blocks are long enough for the histories of the highest energy.
std::int64_t drawsPerHistoryBound(float energyKeV);

using BasisProgress = std::function<void(int curvesDone, int curvesTotal)>;

// Simulates the basis on `threads` threads (curves are independent, so the result does not depend
// on the number of threads). Returns false when cancelled; the basis is then incomplete.
bool simulateBasis(const engine::ElectronData& data, float centreMaxEnergyMeV, std::int32_t historiesPerCurve,
                   int curveCount, int threads, AxisBasis& basis, const BasisProgress& progress = {},
                   const std::atomic<bool>* cancel = nullptr);

}  // namespace fit
