// Tolvane: the depth dose on the axis of a broad electron field in water. Runs in the current folder.
#include "depthdose/depthdose_simulation.h"
#include "engine/console.h"
#include "engine/run_error.h"
#include "engine/stop_request.h"

#include <filesystem>
#include <iostream>

int main() {
    engine::prepareConsoleStreams();
    engine::Console console(std::cin, std::cout, engine::consoleUsesShiftJis());
    try {
        depthdose::runDepthDoseSimulation(std::filesystem::path(),
                                          console);  // files by plain name in the current folder
    } catch (const engine::RunStopped& stopped) {
        std::cout.flush();
        std::cerr << stopped.what() << "\r\n";
        return engine::STOPPED_STATUS_BASE + stopped.signalNumber();
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << error.what() << "\r\n";
        return 1;
    }
    return 0;
}
