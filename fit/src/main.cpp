// orvalis-fit: fits the Beta spectrum to a measured depth dose (see fit/fit_command.h).
#include "engine/run_error.h"
#include "fit/fit_command.h"
#ifdef ORVALIS_FIT_PLOT
#include "fit_plot.h"
#endif

#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    fit::CommandOptions options;
    try {
        options = fit::parseArguments(arguments);
    } catch (const std::invalid_argument& e) {
        std::cerr << "orvalis-fit: " << e.what() << "\n" << fit::usageText();
        return 1;
    }
    try {
        fit::PlotWriter plot;
#ifdef ORVALIS_FIT_PLOT
        plot = fit::writeFitPlot;
#endif
        return fit::runFitCommand(options, std::cout, plot);
    } catch (const engine::RunError& e) {
        std::cout << std::flush;
        std::cerr << "orvalis-fit: " << e.what() << "\n";
        return 1;
    }
}
