// Brisella: the dose kernel of a pencil electron beam in water. Runs in the current folder.
#include <iostream>

#include "engine/program_info.h"
#include "engine/run_frame.h"
#include "kernel/kernel_simulation.h"

namespace {
const engine::ProgramHelp HELP{
    "Brisella", "the electron kernel simulator of Orvalis",
    "usage: Brisella [--help | --version]\n"
    "  Run with no arguments in a folder holding ELDAT.dat, Nimbrola.dat and Nimbrola.txt (the front\n"
    "  end Orvalis writes the last two). Nimbrola.dat holds the maximum energy in MeV, the number of\n"
    "  histories and the name of the result; Nimbrola.txt holds two title lines and the 100 lines of\n"
    "  the spectrum. Brisella simulates a pencil electron beam in water by Monte Carlo, writes the\n"
    "  dose kernel (.elk) under that name, and waits for Enter. Bad input stops it before the first\n"
    "  history, with the file and line named and a non-zero exit status.\n"};
}  // namespace

int main(int argc, char** argv) {
    if (const auto status = engine::answerInformationRequest({argv + 1, argv + argc}, HELP, std::cout)) return *status;
    return engine::simulatorMain(kernel::runKernelSimulation);
}
