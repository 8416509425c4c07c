// tolvane-stream N: Tolvane's run in the current folder with its generator on stream N (an integer)
// instead of the fixed seed, for validating the statistical uncertainty with independent runs.
#include "depthdose/depthdose_simulation.h"
#include "engine/run_frame.h"

#include <cstdlib>
#include <iostream>

namespace {
int streamNumber = 0;
void runOnStream(const std::filesystem::path& folder, engine::Console& console) {
    depthdose::runDepthDoseSimulation(folder, console, streamNumber);
}
}  // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    if (argc != 2 || (streamNumber = static_cast<int>(std::strtol(argv[1], &end, 10)), *end != '\0')) {
        std::cerr << "usage: tolvane-stream N (N an integer; 0 is Tolvane's own seed)\n";
        return 2;
    }
    return engine::simulatorMain(runOnStream);
}
