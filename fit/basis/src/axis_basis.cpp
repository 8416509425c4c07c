#include "fit/axis_basis.h"

#include "depthdose/field_geometry.h"
#include "engine/energy_ladder.h"
#include "engine/transport.h"
#include "fit/beta_weights.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

namespace fit {

namespace {

constexpr int COUNTER_COUNT = COUNTERS_PER_SIDE * COUNTERS_PER_SIDE;
constexpr float HALF_FIELD_CM = 0.5f * depthdose::FIELD_SIDE_CM;
constexpr float ENLARGED_SIDE_CM = depthdose::FIELD_SIDE_CM +
                                   2.0f * static_cast<float>(COUNTER_REACH) * COUNTER_PITCH_CM;
constexpr float FAR_CM = 1000.0f;  // beyond this a step is nowhere near a counter

// True when a field of the simulator's size centred on counter index `c` holds the start coordinate.
bool owns(int c, float start) {
    const float offset = start - static_cast<float>(c) * COUNTER_PITCH_CM;
    return offset > -HALF_FIELD_CM && offset <= HALF_FIELD_CM;
}

// The counters, each a copy of the axis counter: its own depth-by-radius grid, scored with the
// start and end of every step shifted so that the counter sits on the axis.
class CounterArray {
public:
    CounterArray() : grids_(COUNTER_COUNT, engine::KernelGrid(depthdose::AXIS_COUNTER_RINGS)) {}

    void startHistory(const engine::Point& start) {
        for (int c = -COUNTER_REACH; c <= COUNTER_REACH; ++c) {
            ownsX_[static_cast<std::size_t>(c + COUNTER_REACH)] = owns(c, start.x);
            ownsY_[static_cast<std::size_t>(c + COUNTER_REACH)] = owns(c, start.y);
        }
        for (std::size_t i = 0; i < COUNTERS_PER_SIDE; ++i)
            for (std::size_t j = 0; j < COUNTERS_PER_SIDE; ++j) owned_ += (ownsX_[i] && ownsY_[j]) ? 1 : 0;
    }

    // The engine's scorer entry. Only a counter within 0.5 cm of one end of the step can receive
    // any of it under the engine's sharing rule, and that is the nearest counter of that end.
    void depositStep(const engine::Point& start, const engine::Point& end, float energyKeV) {
        ++steps_;
        int ax = 0;
        int ay = 0;
        const bool first = nearest(start, ax, ay);
        int bx = 0;
        int by = 0;
        const bool second = nearest(end, bx, by);
        if (first) score(ax, ay, start, end, energyKeV);
        if (second && !(first && ax == bx && ay == by)) score(bx, by, start, end, energyKeV);
    }

    // Energy (keV) absorbed in each slab, summed over the counters, and the histories they took.
    DepthCurve sums() const {
        DepthCurve sum{};
        for (const engine::KernelGrid& grid : grids_)
            for (int depth = 1; depth <= DEPTH_BINS; ++depth)
                for (int ring = 1; ring <= depthdose::AXIS_COUNTER_RINGS; ++ring)
                    sum[static_cast<std::size_t>(depth - 1)] += static_cast<double>(grid.cell(depth, ring));
        return sum;
    }
    std::int64_t owned() const { return owned_; }

    CounterCurve curve() const {
        CounterCurve result;
        result.energyPerHistoryKeV = sums();
        if (owned_ > 0)
            for (double& value : result.energyPerHistoryKeV) value /= static_cast<double>(owned_);
        result.ownedHistories = owned_;
        result.steps = steps_;
        return result;
    }

private:
    static bool nearest(const engine::Point& p, int& cx, int& cy) {
        if (!(std::fabs(p.x) < FAR_CM && std::fabs(p.y) < FAR_CM)) return false;
        cx = static_cast<int>(std::lround(p.x / COUNTER_PITCH_CM));
        cy = static_cast<int>(std::lround(p.y / COUNTER_PITCH_CM));
        return std::abs(cx) <= COUNTER_REACH && std::abs(cy) <= COUNTER_REACH;
    }

    void score(int cx, int cy, const engine::Point& start, const engine::Point& end, float energyKeV) {
        const auto ix = static_cast<std::size_t>(cx + COUNTER_REACH);
        const auto iy = static_cast<std::size_t>(cy + COUNTER_REACH);
        if (!(ownsX_[ix] && ownsY_[iy])) return;
        const float shiftX = static_cast<float>(cx) * COUNTER_PITCH_CM;
        const float shiftY = static_cast<float>(cy) * COUNTER_PITCH_CM;
        const engine::Point a{start.x - shiftX, start.y - shiftY, start.z};
        const engine::Point b{end.x - shiftX, end.y - shiftY, end.z};
        grids_[ix * COUNTERS_PER_SIDE + iy].depositStep(a, b, energyKeV);
    }

    std::vector<engine::KernelGrid> grids_;
    std::array<bool, COUNTERS_PER_SIDE> ownsX_{};
    std::array<bool, COUNTERS_PER_SIDE> ownsY_{};
    std::int64_t owned_ = 0;
    std::int64_t steps_ = 0;
};

// The variance of the mean curve from consecutive batches of histories: each batch's mean, weighted
// by the histories the counters took in it, about the whole mean.
DepthCurve batchVariance(const std::vector<DepthCurve>& cumulative, const std::vector<std::int64_t>& ownedAt) {
    DepthCurve variance{};
    const std::size_t batches = cumulative.size() - 1;
    const auto total = static_cast<double>(ownedAt.back());
    if (batches < 2 || !(total > 0.0)) return variance;
    for (std::size_t b = 1; b <= batches; ++b) {
        const auto owned = static_cast<double>(ownedAt[b] - ownedAt[b - 1]);
        if (!(owned > 0.0)) continue;
        const double share = owned / total;
        for (std::size_t s = 0; s < variance.size(); ++s) {
            const double batchMean = (cumulative[b][s] - cumulative[b - 1][s]) / owned;
            const double d = batchMean - cumulative.back()[s] / total;
            variance[s] += share * share * d * d;
        }
    }
    for (double& v : variance) v *= static_cast<double>(batches) / static_cast<double>(batches - 1);
    return variance;
}

constexpr std::int64_t DRAWS_PER_DEFLECTION = 2;
constexpr std::int64_t SOURCE_DRAWS = 2;

}  // namespace

engine::ElectronState enlargedFieldStart(float energyKeV, engine::LaggedGenerator& generator) {
    return depthdose::sampleFieldSource(energyKeV, generator, ENLARGED_SIDE_CM);
}

CounterCurve simulateCounterCurve(float energyKeV, std::int32_t histories, const engine::ElectronData& data,
                                  engine::LaggedGenerator& generator, const std::atomic<bool>* cancel) {
    const engine::DeflectionSampler sampler(data);
    return simulateCounterCurve(energyKeV, histories, data, sampler, generator, cancel);
}

CounterCurve simulateCounterCurve(float energyKeV, std::int32_t histories, const engine::ElectronData& data,
                                  const engine::DeflectionSampler& sampler, engine::LaggedGenerator& generator,
                                  const std::atomic<bool>* cancel) {
    // Every history of the curve starts at the same energy: its steps are worked out once.
    const engine::EnergyLadder ladder(energyKeV, data);
    auto counters = std::make_unique<CounterArray>();
    constexpr std::int32_t CANCEL_CHECK_INTERVAL = 256;
    std::vector<DepthCurve> cumulative(1, DepthCurve{});  // after each batch of histories
    std::vector<std::int64_t> ownedAt(1, 0);
    std::int64_t batch = 1;
    for (std::int32_t history = 0; history < histories; ++history) {
        if (cancel && history % CANCEL_CHECK_INTERVAL == 0 && cancel->load(std::memory_order_relaxed)) break;
        const engine::ElectronState start = enlargedFieldStart(energyKeV, generator);
        counters->startHistory(start.position);
        engine::runHistory(start, ladder, sampler, generator, *counters, depthdose::LeavesThroughSurface{});
        while (batch <= COUNTER_BATCHES &&
               history + 1 == static_cast<std::int64_t>(histories) * batch / COUNTER_BATCHES) {
            cumulative.push_back(counters->sums());
            ownedAt.push_back(counters->owned());
            ++batch;
        }
    }
    CounterCurve result = counters->curve();
    if (batch > COUNTER_BATCHES) result.varianceKeV2 = batchVariance(cumulative, ownedAt);
    return result;
}

int basisCurveCount(double maxEnergySpan) {
    constexpr int MARGIN_BINS = 2;
    return engine::SPECTRUM_BINS + static_cast<int>(std::ceil(engine::SPECTRUM_BINS * maxEnergySpan - 1e-9)) +
           MARGIN_BINS;
}

float basisEnergyKeV(float maxEnergyMeV, int bin) {
    return relativeBinEnergy(bin) * maxEnergyMeV * engine::KEV_PER_MEV;
}

std::int64_t drawsPerHistoryBound(float energyKeV) {
    // Every ordinary step loses the same fraction, so the number of steps above the final-step
    // threshold is known in advance; each is followed by at most one deflection of two draws.
    std::int64_t ordinarySteps = 0;
    if (energyKeV > engine::FINAL_STEP_THRESHOLD_KEV)
        ordinarySteps = static_cast<std::int64_t>(std::log(static_cast<double>(energyKeV) /
                                                           static_cast<double>(engine::FINAL_STEP_THRESHOLD_KEV)) /
                                                  -std::log1p(-static_cast<double>(engine::ENERGY_LOSS_FRACTION))) +
                        2;
    return SOURCE_DRAWS + DRAWS_PER_DEFLECTION * (ordinarySteps + 1);
}

bool simulateBasis(const engine::ElectronData& data, float centreMaxEnergyMeV, std::int32_t historiesPerCurve,
                   int curveCount, int threads, AxisBasis& basis, const BasisProgress& progress,
                   const std::atomic<bool>* cancel) {
    const int total = curveCount;
    basis.centreMaxEnergyMeV = centreMaxEnergyMeV;
    basis.historiesPerCurve = historiesPerCurve;
    basis.energyKeV.assign(static_cast<std::size_t>(total), 0.0f);
    basis.curve.assign(static_cast<std::size_t>(total), DepthCurve{});
    basis.variance.assign(static_cast<std::size_t>(total), DepthCurve{});

    // Each curve starts at its own block of the one fixed sequence: the seeded generator, advanced
    // past the blocks of all lower bins.
    std::vector<engine::LaggedGenerator> streams(static_cast<std::size_t>(total));
    engine::LaggedGenerator walker;
    walker.seed();
    for (int bin = 1; bin <= total; ++bin) {
        const auto index = static_cast<std::size_t>(bin - 1);
        basis.energyKeV[index] = basisEnergyKeV(centreMaxEnergyMeV, bin);
        streams[index] = walker;
        const std::int64_t block = drawsPerHistoryBound(basis.energyKeV[index]) * historiesPerCurve;
        for (std::int64_t draw = 0; draw < block; ++draw) walker.nextInteger();
        if (cancel && cancel->load()) return false;
    }

    const engine::DeflectionSampler sampler(data);
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::mutex progressMutex;
    auto worker = [&]() {
        for (;;) {
            // Highest energies first: they take longest, so the threads finish together.
            const int taken = next.fetch_add(1);
            if (taken >= total) return;
            const auto index = static_cast<std::size_t>(total - 1 - taken);
            engine::LaggedGenerator generator = streams[index];
            const CounterCurve result = simulateCounterCurve(basis.energyKeV[index], historiesPerCurve, data, sampler,
                                                             generator, cancel);
            if (cancel && cancel->load()) return;
            basis.curve[index] = result.energyPerHistoryKeV;
            basis.variance[index] = result.varianceKeV2;
            // Counted and reported under one lock: a count taken outside it could be printed after
            // a higher one from another thread, and the progress would run backwards.
            const std::lock_guard<std::mutex> lock(progressMutex);
            const int finished = done.fetch_add(1) + 1;
            if (progress) progress(finished, total);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::max(threads, 1); ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& thread : pool) thread.join();
    return !(cancel && cancel->load()) && done.load() == total;
}

}  // namespace fit
