#pragma once
// Condensed-history transport of one primary electron through unbounded water. Each ordinary step
// loses a fixed fraction of the energy over the path that the collision stopping power gives; the
// last step (at or below 305 keV) spends the rest over the remaining range. Between steps the
// electron is deflected by an angle drawn from the scattering table. Every step is handed to the
// scorer as a straight segment with its energy loss; transport knows nothing of what is scored.
#include "engine/constants.h"
#include "engine/deflection_sampler.h"
#include "engine/electron_data.h"
#include "engine/energy_ladder.h"
#include "engine/lagged_generator.h"
#include "engine/stopping_power.h"

#include <cmath>

namespace engine {

struct Point {
    float x = 0.0f;  // cm, lateral
    float y = 0.0f;  // cm, lateral
    float z = 0.0f;  // cm, depth along the beam axis
};

// Direction (sin t cos p, sin t sin p, cos t) as the cosines and sines of its polar angle t
// against +z and its azimuth p.
struct Direction {
    float cosTheta = 1.0f;
    float sinTheta = 0.0f;
    float cosPhi = 1.0f;
    float sinPhi = 0.0f;
};

struct ElectronState {
    Point position;
    Direction direction;
    Deflection pending;  // drawn at the end of one step, applied at the start of the next
    float energyKeV = 0.0f;
};

// The pencil beam: on the axis at the entry plane, along +z, no pending deflection.
inline ElectronState narrowBeamStart(float energyKeV) {
    ElectronState state;
    state.position = Point{0.0f, 0.0f, ENTRY_PLANE_Z_CM};
    state.energyKeV = energyKeV;
    return state;
}

// The unbounded medium: a history never leaves before it has spent its energy.
struct NeverLeaves {
    bool operator()(const Point&) const { return false; }
};

// The current direction turned by the pending deflection (angle chi, azimuth phi about the old
// direction).
inline Direction rotate(const Direction& current, const Deflection& pending) {
    Direction turned;
    float cosTheta = pending.sinChi * current.sinTheta * pending.cosAzimuth + current.cosTheta * pending.cosChi;
    // Rounding can carry the cosine just outside [-1, 1]; the sine must stay defined.
    if (cosTheta > 1.0f) cosTheta = 1.0f;
    if (cosTheta < -1.0f) cosTheta = -1.0f;
    turned.cosTheta = cosTheta;
    turned.sinTheta = std::sqrt(1.0f - cosTheta * cosTheta);
    if (turned.sinTheta == 0.0f) {
        // Along the axis the azimuth is undefined; fix it at 0.
        turned.cosPhi = 1.0f;
        turned.sinPhi = 0.0f;
    } else if (current.sinTheta == 0.0f) {
        // From a direction along the axis the deflection azimuth becomes the direction's azimuth.
        turned.sinPhi = pending.sinAzimuth;
        turned.cosPhi = -pending.cosAzimuth;
    } else {
        const float sinDelta = pending.sinAzimuth * pending.sinChi / turned.sinTheta;
        const float cosDelta = (pending.cosChi - current.cosTheta * turned.cosTheta) /
                               (current.sinTheta * turned.sinTheta);
        turned.sinPhi = cosDelta * current.sinPhi + current.cosPhi * sinDelta;
        turned.cosPhi = cosDelta * current.cosPhi - current.sinPhi * sinDelta;
    }
    return turned;
}

// The end point of a straight step of lengthCm from `start` along `direction`.
inline Point move(const Point& start, const Direction& direction, float lengthCm) {
    Point end;
    end.z = direction.cosTheta * lengthCm + start.z;
    end.x = direction.sinTheta * lengthCm * direction.cosPhi + start.x;
    end.y = direction.sinTheta * lengthCm * direction.sinPhi + start.y;
    return end;
}

// The deflection after a step, drawn for the step's start energy. Below the table (and after the
// final step) nothing is drawn; the previous azimuth is kept, it has no effect with sin chi 0.
template <class Draws>
void deflect(ElectronState& state, const LadderStep& step, const DeflectionSampler& sampler, Draws& draws) {
    if (step.deflection.deflects) {
        state.pending = sampler.sample(step.deflection, draws);
    } else {
        state.pending.cosChi = 1.0f;
        state.pending.sinChi = 0.0f;
    }
}

// One transport step: turn by the pending deflection, move, hand the segment to the scorer, draw
// the deflection for the next step. Draws is a LaggedGenerator or a DrawCursor; Scorer needs
// depositStep(const Point& start, const Point& end, float energyKeV).
template <class Draws, class Scorer>
void takeStep(ElectronState& state, const LadderStep& step, const DeflectionSampler& sampler, Draws& draws,
              Scorer& scorer) {
    const Direction turned = rotate(state.direction, state.pending);
    const Point stepEnd = move(state.position, turned, step.lengthCm);
    scorer.depositStep(state.position, stepEnd, step.lossKeV);
    state.position = stepEnd;
    state.direction = turned;
    deflect(state, step, sampler, draws);
}

// Follows one electron from `state`, whose energy is the start of `ladder`, until its energy is
// spent or `leaves(position)` reports, at the start of a step, that it has left the geometry.
template <class Draws, class Scorer, class LeavesRule = NeverLeaves>
void runHistory(ElectronState state, const EnergyLadder& ladder, const DeflectionSampler& sampler, Draws& draws,
                Scorer& scorer, LeavesRule leaves = LeavesRule{}) {
    for (const LadderStep& step : ladder.steps()) {
        if (leaves(state.position)) return;
        takeStep(state, step, sampler, draws, scorer);
    }
}

// One history on its own: prepares the sampler and the ladder of its start energy first.
template <class Scorer, class LeavesRule = NeverLeaves>
void runHistory(const ElectronState& state, const ElectronData& data, LaggedGenerator& generator, Scorer& scorer,
                LeavesRule leaves = LeavesRule{}) {
    runHistory(state, EnergyLadder(state.energyKeV, data), DeflectionSampler(data), generator, scorer, leaves);
}

}  // namespace engine
