#pragma once
// The histories of one spectrum bin, followed several at a time. A history's steps form one long
// chain of dependent arithmetic (each direction comes from the one before), so the processor
// waits on it; a few independent histories side by side keep it busy. Each history takes its
// draws from where the one before it ends when that one runs its whole ladder, which is nearly
// always so; a history that began anywhere else is run again from the right place. The segments
// are scored history by history in the original order, so every cell adds the very same numbers
// in the very same order as one history after the other.
#include "engine/draw_stream.h"
#include "engine/stop_request.h"
#include "engine/transport.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace engine {

constexpr int HISTORY_LANES = 8;
constexpr std::size_t MAX_START_DRAWS = 8;  // integers a start state may draw (the field source draws 2)

struct Segment {
    Point start;
    Point end;
    float energyKeV = 0.0f;
};

// A history under way: its electron, where its draws began and have got to, and its segments,
// kept until it is known to follow the history before it.
struct HistoryInFlight {
    ElectronState state;
    const std::int32_t* firstDraw = nullptr;
    DrawCursor draws{nullptr};
    bool left = false;
    std::vector<Segment> segments;
};

// Keeps the segments of a history that can score anything; a scorer may say which cannot
// (mayScore), so that they are neither kept nor offered to it.
template <class Scorer>
struct SegmentKeeper {
    std::vector<Segment>& segments;
    const Scorer& scorer;

    void depositStep(const Point& start, const Point& end, float energyKeV) {
        if constexpr (requires { scorer.mayScore(start, end); }) {
            if (!scorer.mayScore(start, end)) return;
        }
        segments.push_back(Segment{start, end, energyKeV});
    }
};

using HistoryLanes = std::array<HistoryInFlight, HISTORY_LANES>;

// Runs `count` histories from startState(energyKeV, draws) along `ladder`, scoring them in order.
// Between groups of histories a stop request ends the run with RunStopped.
template <class Scorer, class StartState, class LeavesRule>
void runHistoriesOfBin(std::int32_t count, float energyKeV, const EnergyLadder& ladder,
                       const DeflectionSampler& sampler, DrawStream& stream, Scorer& scorer, StartState& startState,
                       LeavesRule leaves, HistoryLanes& lanes) {
    const std::size_t ladderDraws = ladder.drawsOfWholeLadder();
    for (HistoryInFlight& lane : lanes) lane.segments.reserve(ladder.steps().size());
    std::int32_t done = 0;
    while (done < count) {
        throwIfStopRequested();
        const int active = static_cast<int>(std::min<std::int32_t>(HISTORY_LANES, count - done));
        const std::int32_t* begin = stream.ahead(static_cast<std::size_t>(active) * (MAX_START_DRAWS + ladderDraws));
        const std::int32_t* next = begin;
        for (int k = 0; k < active; ++k) {
            HistoryInFlight& lane = lanes[static_cast<std::size_t>(k)];
            lane.firstDraw = next;
            lane.draws = DrawCursor(next);
            lane.state = startState(energyKeV, lane.draws);
            if (lane.draws.position() - next > static_cast<std::ptrdiff_t>(MAX_START_DRAWS))
                throw std::logic_error("a start state drew more integers than a history has room for");
            lane.left = false;
            lane.segments.clear();
            next = lane.draws.position() + ladderDraws;
        }

        for (const LadderStep& step : ladder.steps()) {
            for (int k = 0; k < active; ++k) {
                HistoryInFlight& lane = lanes[static_cast<std::size_t>(k)];
                if (lane.left) continue;
                if (leaves(lane.state.position)) {
                    lane.left = true;
                    continue;
                }
                SegmentKeeper<Scorer> keeper{lane.segments, scorer};
                takeStep(lane.state, step, sampler, lane.draws, keeper);
            }
        }

        // The histories count in order for as long as each began where the one before ended.
        const std::int32_t* end = begin;
        for (int k = 0; k < active && lanes[static_cast<std::size_t>(k)].firstDraw == end; ++k) {
            const HistoryInFlight& lane = lanes[static_cast<std::size_t>(k)];
            for (const Segment& segment : lane.segments)
                scorer.depositStep(segment.start, segment.end, segment.energyKeV);
            // A scorer that keeps each history apart (its statistical uncertainty) hears where one ends.
            if constexpr (requires { scorer.endHistory(); }) scorer.endHistory();
            end = lane.draws.position();
            ++done;
        }
        stream.commit(static_cast<std::size_t>(end - begin));
    }
}

}  // namespace engine
