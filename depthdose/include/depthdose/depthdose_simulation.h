#pragma once
// Tolvane, the depth-dose simulator: a divergent 15 cm x 15 cm field from a virtual point source
// 100 cm in front of the water surface; electrons that leave the water through the surface are
// not followed back in; the dose is read on the axis in a counter of 1 cm diameter (rings 1 to 5)
// per 1 mm of depth, relative to its largest value.
#include "engine/console.h"
#include "engine/kernel_grid.h"
#include "engine/lagged_generator.h"
#include "engine/run_frame.h"
#include "engine/transport.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <string>

namespace depthdose {

constexpr const char* BANNER = "  Monte Carlo Simulation  --- Tolvane ---";
// "        高エネルギー電子線のＰＤＤ計算" and "       15×15 field   カウンタ   1cmφ×1mm "
constexpr const char* TITLE_UTF8 =
    "        \xe9\xab\x98\xe3\x82\xa8\xe3\x83\x8d\xe3\x83\xab\xe3\x82\xae\xe3\x83\xbc\xe9\x9b\xbb\xe5\xad\x90"
    "\xe7\xb7\x9a\xe3\x81\xae\xef\xbc\xb0\xef\xbc\xa4\xef\xbc\xa4\xe8\xa8\x88\xe7\xae\x97";
constexpr const char* TITLE_SHIFT_JIS =
    "        \x8d\x82\x83\x47\x83\x6c\x83\x8b\x83\x4d\x81\x5b\x93\x64\x8e\x71\x90\xfc\x82\xcc"
    "\x82\x6f\x82\x63\x82\x63\x8c\x76\x8e\x5a";
constexpr const char* FIELD_LINE_UTF8 =
    "       15\xc3\x97"
    "15 field   \xe3\x82\xab\xe3\x82\xa6\xe3\x83\xb3\xe3\x82\xbf   1cm\xcf\x86\xc3\x97"
    "1mm ";
constexpr const char* FIELD_LINE_SHIFT_JIS =
    "       15\x81\x7e"
    "15 field   \x83\x4a\x83\x45\x83\x93\x83\x5e   1cm\x83\xd3\x81\x7e"
    "1mm ";
constexpr const char* HISTORY_LABEL = " History=";

constexpr float FIELD_SIDE_CM = 15.0f;
constexpr float SOURCE_DISTANCE_CM = 100.0f;  // virtual source in front of the surface
constexpr float SOURCE_DISTANCE_SQUARED = 10000.0f;
constexpr float SURFACE_Z_CM = 1.5f;
constexpr int AXIS_COUNTER_RINGS = 5;  // r < 0.5 cm: the counter of 1 cm diameter
constexpr float MEV_PER_KEV = 0.001f;
constexpr int FIRST_LABEL_OFFSET_MM = 15;
constexpr const char* FLUENCE_HEADING_FORMAT = "(' ','[MeV] ,  Fluence')";
constexpr const char* FLUENCE_ROW_FORMAT = "(E10.4,', ',E10.4)";
constexpr const char* DOSE_ROW_FORMAT = "(F5.0,E10.3) ";

using AxisDose = std::array<float, engine::KernelGrid::DEPTH_BINS>;

// Start of one history: a point drawn uniformly over the field on the surface (u1 for x, then
// u2 for y), moving straight away from the virtual source, no pending deflection. Draws is a
// LaggedGenerator or a DrawCursor.
template <class Draws>
engine::ElectronState sampleFieldSource(float energyKeV, Draws& draws) {
    const float u1 = draws.nextUniform();
    const float u2 = draws.nextUniform();
    engine::ElectronState state;
    state.position.x = (0.5f - u1) * FIELD_SIDE_CM;
    state.position.y = (0.5f - u2) * FIELD_SIDE_CM;
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

// Energy in the axis counter per depth bin (rings 1 to 5 added in order), divided by its largest
// value over all 125 bins. `counterEmpty` is set when the counter holds nothing; the dose is then
// all zeros instead of a division by zero.
AxisDose reduceToAxisDose(const engine::KernelGrid& grid, bool& counterEmpty);

// The 102-line fluence file and the 127-line depth-dose file (lines end in CR LF).
std::string fluenceFileText(const std::string& fluenceNameVariable, const engine::Spectrum& spectrum);
std::string depthDoseFileText(const engine::RunFile& run, const engine::Spectrum& spectrum, const AxisDose& dose);

// One whole run in `folder`: console lines, fluence file, histories, depth-dose file, end pause.
// Throws engine::RunError on any input or output failure.
void runDepthDoseSimulation(const std::filesystem::path& folder, engine::Console& console);

}  // namespace depthdose
