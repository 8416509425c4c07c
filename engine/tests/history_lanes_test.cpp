#include "engine/history_lanes.h"

#include "engine/kernel_grid.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

using namespace engine;

struct RecordingScorer {
    std::vector<Segment> segments;
    void depositStep(const Point& start, const Point& end, float energyKeV) {
        segments.push_back({start, end, energyKeV});
    }
};

// A recorder that, like the grid of the depth-dose run, declares the segments far from the axis
// unscorable.
struct AxisRecorder : RecordingScorer {
    bool mayScore(const Point& start, const Point& end) const {
        return start.x * start.x + start.y * start.y < 0.25f || end.x * end.x + end.y * end.y < 0.25f;
    }
};

bool sameSegments(const std::vector<Segment>& a, const std::vector<Segment>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Segment)) == 0);
}

// A source that draws two integers, spreads its starts over a few millimetres and tilts them.
struct TiltedSource {
    template <class Draws>
    ElectronState operator()(float energyKeV, Draws& draws) const {
        ElectronState state = narrowBeamStart(energyKeV);
        state.position.x = (draws.nextUniform() - 0.5f) * 1.2f;
        state.position.y = (draws.nextUniform() - 0.5f) * 1.2f;
        state.direction = Direction{0.8f, 0.6f, 1.0f, 0.0f};
        return state;
    }
};

struct LeavesBelowEntry {
    bool operator()(const Point& p) const { return p.z < ENTRY_PLANE_Z_CM; }
};

// Returns how many histories ended before their last step.
template <class Scorer, class Source, class Leaves>
int compareWithOneAfterTheOther(const ElectronData& data, float energyKeV, std::int32_t count, Source source,
                                Leaves leaves) {
    const DeflectionSampler sampler(data);
    const EnergyLadder ladder(energyKeV, data);
    Scorer sequential;
    int endedEarly = 0;
    LaggedGenerator one;
    one.seed();
    for (std::int32_t h = 0; h < count; ++h) {
        RecordingScorer all;
        runHistory(source(energyKeV, one), ladder, sampler, one, all, leaves);
        endedEarly += all.segments.size() < ladder.steps().size() ? 1 : 0;
        for (const Segment& s : all.segments)
            if constexpr (requires { sequential.mayScore(s.start, s.end); }) {
                if (sequential.mayScore(s.start, s.end)) sequential.segments.push_back(s);
            } else {
                sequential.segments.push_back(s);
            }
    }

    Scorer sideBySide;
    LaggedGenerator lanesGenerator;
    lanesGenerator.seed();
    {
        DrawStream stream(lanesGenerator);
        HistoryLanes lanes;
        runHistoriesOfBin(count, energyKeV, ladder, sampler, stream, sideBySide, source, leaves, lanes);
        stream.finish();
    }
    EXPECT_GT(sequential.segments.size(), 0u);
    EXPECT_TRUE(sameSegments(sideBySide.segments, sequential.segments))
        << sideBySide.segments.size() << " segments side by side, " << sequential.segments.size()
        << " one after the other";
    EXPECT_EQ(lanesGenerator.nextInteger(), one.nextInteger());
    EXPECT_EQ(lanesGenerator.updatedCursor(), one.updatedCursor());
    return endedEarly;
}

TEST(HistoryLanes, NarrowBeamGivesTheSegmentsAndDrawsOfOneHistoryAfterTheOther) {
    compareWithOneAfterTheOther<RecordingScorer>(
        testing_support::gaussianWidthTable(), 7000.0f, 37, [](float e, auto&) { return narrowBeamStart(e); },
        NeverLeaves{});
}

// With the stress table many electrons turn back and leave early, so many histories begin
// elsewhere than guessed and are run again; the order of segments and draws must not change.
TEST(HistoryLanes, HistoriesThatLeaveEarlyAreRunAgainFromTheRightDraw) {
    const ElectronData data = testing_support::backscatterStressTable();
    EXPECT_GT((compareWithOneAfterTheOther<RecordingScorer>(data, 9000.0f, 203, TiltedSource{}, LeavesBelowEntry{})),
              20);
    EXPECT_GT((compareWithOneAfterTheOther<AxisRecorder>(data, 15000.0f, 64, TiltedSource{}, LeavesBelowEntry{})), 5);
    compareWithOneAfterTheOther<RecordingScorer>(data, 300.0f, 9, TiltedSource{}, LeavesBelowEntry{});
}

TEST(HistoryLanes, ASourceThatDrawsTooMuchIsRefused) {
    const ElectronData data = testing_support::gaussianWidthTable();
    const DeflectionSampler sampler(data);
    const EnergyLadder ladder(5000.0f, data);
    LaggedGenerator generator;
    generator.seed();
    DrawStream stream(generator);
    HistoryLanes lanes;
    RecordingScorer scorer;
    auto greedy = [](float e, auto& draws) {
        for (std::size_t i = 0; i <= MAX_START_DRAWS; ++i) draws.nextInteger();
        return narrowBeamStart(e);
    };
    EXPECT_THROW(runHistoriesOfBin(3, 5000.0f, ladder, sampler, stream, scorer, greedy, NeverLeaves{}, lanes),
                 std::logic_error);
}

}  // namespace
