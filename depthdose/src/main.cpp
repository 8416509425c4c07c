// Tolvane: the depth dose on the axis of a broad electron field in water. Runs in the current folder.
#include <iostream>

#include "depthdose/depthdose_simulation.h"
#include "engine/program_info.h"
#include "engine/run_frame.h"

namespace {
const engine::ProgramHelp HELP{
    "Tolvane", "the depth-dose simulator of Orvalis",
    "usage: Tolvane [--help | --version]\n"
    "  Run with no arguments in a folder holding ELDAT.dat, Nimbrola.dat and Nimbrola.txt (the front\n"
    "  end Orvalis writes the last two). Nimbrola.dat holds the maximum energy in MeV, the number of\n"
    "  histories, the name of the depth-dose result and the name of the fluence file; Nimbrola.txt\n"
    "  holds two title lines and the 100 lines of the spectrum. Tolvane simulates a broad electron\n"
    "  beam in water by Monte Carlo, writes the depth dose on the axis (.pdd) and the fluence of the\n"
    "  simulated spectrum (.spct) under those names, and waits for Enter. Bad input stops it before\n"
    "  the first history, with the file and line named and a non-zero exit status.\n"};
}  // namespace

int main(int argc, char** argv) {
    if (const auto status = engine::answerInformationRequest({argv + 1, argv + argc}, HELP, std::cout)) return *status;
    return engine::simulatorMain(depthdose::runDepthDoseSimulation);
}
