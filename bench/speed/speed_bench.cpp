// Micro-benchmarks of the transport's parts and of whole histories, on the committed scattering
// table. The counters give nanoseconds per transport step where a benchmark runs steps.
#include "engine/deflection_sampler.h"
#include "engine/draw_stream.h"
#include "engine/energy_ladder.h"
#include "engine/history_lanes.h"
#include "engine/kernel_grid.h"
#include "engine/stopping_power.h"
#include "engine/transport.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace engine;

const ElectronData& committedTable() {
    static const ElectronData data = loadElectronData(ORVALIS_ELDAT);
    return data;
}

LaggedGenerator seeded() {
    LaggedGenerator generator;
    generator.seed();
    return generator;
}

struct SegmentRecorder {
    std::vector<Segment> segments;
    void depositStep(const Point& a, const Point& b, float e) { segments.push_back({a, b, e}); }
};

// The segments of a few hundred narrow-beam histories at 9 MeV: typical steps of a kernel run.
const std::vector<Segment>& kernelSegments() {
    static const std::vector<Segment> segments = [] {
        LaggedGenerator generator = seeded();
        const DeflectionSampler sampler(committedTable());
        const EnergyLadder ladder(9000.0f, committedTable());
        SegmentRecorder recorder;
        for (int h = 0; h < 300; ++h) runHistory(narrowBeamStart(9000.0f), ladder, sampler, generator, recorder);
        return recorder.segments;
    }();
    return segments;
}

void perStep(benchmark::State& state, double stepsPerIteration) {
    state.counters["ns_per_step"] = benchmark::Counter(
        stepsPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void GeneratorDraw(benchmark::State& state) {
    LaggedGenerator generator = seeded();
    for (auto _ : state) benchmark::DoNotOptimize(generator.nextUniform());
}
BENCHMARK(GeneratorDraw);

void StreamDraw(benchmark::State& state) {
    LaggedGenerator generator = seeded();
    DrawStream stream(generator);
    constexpr std::size_t BATCH = 1024;
    for (auto _ : state) {
        DrawCursor cursor(stream.ahead(BATCH));
        for (std::size_t i = 0; i < BATCH; ++i) benchmark::DoNotOptimize(cursor.nextUniform());
        stream.commit(BATCH);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(BATCH));
}
BENCHMARK(StreamDraw);

void StoppingPower(benchmark::State& state) {
    float energyKeV = 9000.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(collisionStoppingPower(energyKeV));
        energyKeV = energyKeV > 400.0f ? energyKeV * 0.917f : 9000.0f;
    }
}
BENCHMARK(StoppingPower);

void DeflectionSampleDefinition(benchmark::State& state) {
    LaggedGenerator generator = seeded();
    for (auto _ : state) benchmark::DoNotOptimize(sampleDeflection(committedTable(), 5000.0f, generator));
}
BENCHMARK(DeflectionSampleDefinition);

void DeflectionSamplePrepared(benchmark::State& state) {
    LaggedGenerator generator = seeded();
    const DeflectionSampler sampler(committedTable());
    const EnergyBracket bracket = bracketEnergy(committedTable(), 5000.0f);
    for (auto _ : state) benchmark::DoNotOptimize(sampler.sample(bracket, generator));
}
BENCHMARK(DeflectionSamplePrepared);

// One deposit of a typical kernel step into the full grid (all 75 rings).
void DepositStep(benchmark::State& state) {
    const auto& segments = kernelSegments();
    auto grid = std::make_unique<KernelGrid>();
    std::size_t k = 0;
    for (auto _ : state) {
        const Segment& s = segments[k];
        grid->depositStep(s.start, s.end, s.energyKeV);
        k = k + 1 == segments.size() ? 0 : k + 1;
    }
    benchmark::DoNotOptimize(grid->cell(20, 1));
}
BENCHMARK(DepositStep);

// A narrow beam of 9 MeV into the full kernel grid: the generator, the prepared deflections and the
// energy steps.
struct NarrowBeam9MeV {
    static constexpr float ENERGY_KEV = 9000.0f;
    LaggedGenerator generator = seeded();
    const DeflectionSampler sampler{committedTable()};
    const EnergyLadder ladder{ENERGY_KEV, committedTable()};
    std::unique_ptr<KernelGrid> grid = std::make_unique<KernelGrid>();
};

// One narrow-beam history of 9 MeV into the full grid, on its own.
void History9MeV(benchmark::State& state) {
    NarrowBeam9MeV beam;
    for (auto _ : state)
        runHistory(narrowBeamStart(beam.ENERGY_KEV), beam.ladder, beam.sampler, beam.generator, *beam.grid);
    perStep(state, static_cast<double>(beam.ladder.steps().size()));
}
BENCHMARK(History9MeV);

// 64 narrow-beam histories of 9 MeV as a spectrum bin runs them: side by side, scored in order.
void Bin9MeV(benchmark::State& state) {
    NarrowBeam9MeV beam;
    DrawStream stream(beam.generator);
    HistoryLanes lanes;
    auto start = [](float energyKeV, auto&) { return narrowBeamStart(energyKeV); };
    constexpr std::int32_t HISTORIES = 64;
    for (auto _ : state)
        runHistoriesOfBin(HISTORIES, beam.ENERGY_KEV, beam.ladder, beam.sampler, stream, *beam.grid, start,
                          NeverLeaves{}, lanes);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * HISTORIES);
    perStep(state, static_cast<double>(HISTORIES) * static_cast<double>(beam.ladder.steps().size()));
}
BENCHMARK(Bin9MeV);

}  // namespace

BENCHMARK_MAIN();
