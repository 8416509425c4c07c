#pragma once
// The geometry of the depth-dose run, shared by Tolvane and by the fit's basis: a divergent square
// field from a virtual point source 100 cm in front of the water surface, the surface rule (an
// electron that leaves the water through the surface is not followed back in), and the axis counter
// of 1 cm diameter (radial rings 1 to 5 of the 1 mm grid).
#include "engine/constants.h"
#include "engine/transport.h"

#include <cmath>

namespace depthdose {

constexpr float FIELD_SIDE_CM = 15.0f;
constexpr float SOURCE_DISTANCE_CM = 100.0f;  // virtual source in front of the surface
constexpr float SOURCE_DISTANCE_SQUARED = 10000.0f;
constexpr float SURFACE_Z_CM = engine::ENTRY_PLANE_Z_CM;
constexpr int AXIS_COUNTER_RINGS = 5;  // r < 0.5 cm: the counter of 1 cm diameter

// Start of one history: a point drawn uniformly over a square of side fieldSideCm centred on the
// axis at the surface (u1 for x, then u2 for y), moving straight away from the virtual source, no
// pending deflection. Draws is a LaggedGenerator or a DrawCursor.
template <class Draws>
engine::ElectronState sampleFieldSource(float energyKeV, Draws& draws, float fieldSideCm = FIELD_SIDE_CM) {
    const float u1 = draws.nextUniform();
    const float u2 = draws.nextUniform();
    engine::ElectronState state;
    state.position.x = (0.5f - u1) * fieldSideCm;
    state.position.y = (0.5f - u2) * fieldSideCm;
    state.position.z = SURFACE_Z_CM;
    // rho is never 0: no uniform equals 0.5 exactly.
    const float rho = std::sqrt(state.position.x * state.position.x + state.position.y * state.position.y);
    const float distance = std::sqrt(rho * rho + SOURCE_DISTANCE_SQUARED);
    state.direction.cosTheta = SOURCE_DISTANCE_CM / distance;
    state.direction.sinTheta = rho / distance;
    state.direction.cosPhi = state.position.x / rho;
    state.direction.sinPhi = state.position.y / rho;
    state.energyKeV = energyKeV;
    return state;
}

// A history ends at the start of a step that begins in front of the surface.
struct LeavesThroughSurface {
    bool operator()(const engine::Point& stepStart) const { return stepStart.z < SURFACE_Z_CM; }
};

}  // namespace depthdose
