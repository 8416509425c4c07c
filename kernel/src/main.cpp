// Brisella: the dose kernel of a pencil electron beam in water. Runs in the current folder.
#include "engine/console.h"
#include "engine/run_error.h"
#include "engine/stop_request.h"
#include "kernel/kernel_simulation.h"

#include <filesystem>
#include <iostream>

int main() {
    engine::prepareConsoleStreams();
    engine::Console console(std::cin, std::cout, engine::consoleUsesShiftJis());
    try {
        kernel::runKernelSimulation(std::filesystem::path(), console);  // files by plain name in the current folder
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
