#pragma once
// Brisella, the kernel simulator: a pencil beam of the run's spectrum enters water on the axis and
// the energy deposited by depth and radius is written as the dose kernel.
#include "engine/console.h"
#include "engine/kernel_grid.h"
#include "engine/run_frame.h"

#include <filesystem>
#include <string>

namespace kernel {

// The banner and "        高エネルギー電子線のカーネルの計算", as UTF-8 and as Shift_JIS bytes.
constexpr engine::SimulatorTitle TITLE{
    "  Monte Carlo Simulation  --- Brisella ---",
    "        \xe9\xab\x98\xe3\x82\xa8\xe3\x83\x8d\xe3\x83\xab\xe3\x82\xae\xe3\x83\xbc\xe9\x9b\xbb\xe5\xad\x90"
    "\xe7\xb7\x9a\xe3\x81\xae\xe3\x82\xab\xe3\x83\xbc\xe3\x83\x8d\xe3\x83\xab\xe3\x81\xae\xe8\xa8\x88\xe7\xae\x97",
    "        \x8d\x82\x83\x47\x83\x6c\x83\x8b\x83\x4d\x81\x5b\x93\x64\x8e\x71\x90\xfc\x82\xcc"
    "\x83\x4a\x81\x5b\x83\x6c\x83\x8b\x82\xcc\x8c\x76\x8e\x5a"};

// The 127-line result file of the grid, written by the kernel file's writer (beamdata/kernel_file.h).
std::string kernelResultText(const engine::RunFile& run, const engine::Spectrum& spectrum,
                             const engine::KernelGrid& grid);

// One whole run in `folder` (which holds ELDAT.dat, Nimbrola.dat and Nimbrola.txt): console lines,
// histories, result file, end pause. Throws engine::RunError on any input or output failure.
void runKernelSimulation(const std::filesystem::path& folder, engine::Console& console);

}  // namespace kernel
