// Tolvane: the depth dose on the axis of a broad electron field in water. Runs in the current folder.
#include "depthdose/depthdose_simulation.h"
#include "engine/run_frame.h"

int main() { return engine::simulatorMain(depthdose::runDepthDoseSimulation); }
