#pragma once
// Tolvane, the depth-dose simulator: the field geometry of field_geometry.h; the dose is read on the
// axis counter per 1 mm of depth, relative to its largest value.
#include "depthdose/axis_batches.h"
#include "depthdose/field_geometry.h"
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

// The banner and "        高エネルギー電子線のＰＤＤ計算", as UTF-8 and as Shift_JIS bytes; then
// "       15×15 field   カウンタ   1cmφ×1mm ".
constexpr engine::SimulatorTitle TITLE{
    "  Monte Carlo Simulation  --- Tolvane ---",
    "        \xe9\xab\x98\xe3\x82\xa8\xe3\x83\x8d\xe3\x83\xab\xe3\x82\xae\xe3\x83\xbc\xe9\x9b\xbb\xe5\xad\x90"
    "\xe7\xb7\x9a\xe3\x81\xae\xef\xbc\xb0\xef\xbc\xa4\xef\xbc\xa4\xe8\xa8\x88\xe7\xae\x97",
    "        \x8d\x82\x83\x47\x83\x6c\x83\x8b\x83\x4d\x81\x5b\x93\x64\x8e\x71\x90\xfc\x82\xcc"
    "\x82\x6f\x82\x63\x82\x63\x8c\x76\x8e\x5a"};
constexpr const char* FIELD_LINE_UTF8 =
    "       15\xc3\x97"
    "15 field   \xe3\x82\xab\xe3\x82\xa6\xe3\x83\xb3\xe3\x82\xbf   1cm\xcf\x86\xc3\x97"
    "1mm ";
constexpr const char* FIELD_LINE_SHIFT_JIS =
    "       15\x81\x7e"
    "15 field   \x83\x4a\x83\x45\x83\x93\x83\x5e   1cm\x83\xd3\x81\x7e"
    "1mm ";
constexpr const char* HISTORY_LABEL = " History=";

constexpr const char* FLUENCE_HEADING_FORMAT = "(' ','[MeV] ,  Fluence')";
constexpr const char* FLUENCE_ROW_FORMAT = "(E10.4,', ',E10.4)";
constexpr const char* DOSE_ROW_FORMAT = "(F5.0,E10.3) ";

// Energy in the axis counter per depth bin (rings 1 to 5 added in order), divided by its largest
// value over all 125 bins. `counterEmpty` is set when the counter holds nothing; the dose is then
// all zeros instead of a division by zero.
AxisDose reduceToAxisDose(const engine::KernelGrid& grid, bool& counterEmpty);

// The 102-line fluence file and the 127-line depth-dose file (lines end in CR LF). The
// uncertainty file has the depth-dose file's layout, its column the dose's standard uncertainty.
std::string fluenceFileText(const std::string& fluenceNameVariable, const engine::Spectrum& spectrum);
std::string depthDoseFileText(const engine::RunFile& run, const engine::Spectrum& spectrum, const AxisDose& dose);

// One whole run in `folder`: console lines, fluence file, histories, depth-dose file with its
// uncertainty file, end pause.
// Throws engine::RunError on any input or output failure.
void runDepthDoseSimulation(const std::filesystem::path& folder, engine::Console& console);

// The same run with the generator started from another seed table: stream 0 is Tolvane's own fixed
// seed, every other stream a statistically independent run of the same input. Tolvane itself
// always runs stream 0; the validation of the uncertainty file needs independent runs.
void runDepthDoseSimulation(const std::filesystem::path& folder, engine::Console& console, int stream);

// Restarts a seeded generator on stream `stream` (not 0): a seed table from another first entry,
// by the rule of the fixed table, then the same warm-up.
void startGeneratorStream(engine::LaggedGenerator& generator, int stream);

}  // namespace depthdose
