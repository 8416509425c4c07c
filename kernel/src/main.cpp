// Brisella: the dose kernel of a pencil electron beam in water. Runs in the current folder.
#include "engine/run_frame.h"
#include "kernel/kernel_simulation.h"

int main() { return engine::simulatorMain(kernel::runKernelSimulation); }
