// orvalis-fit: fits the Beta spectrum, or a free-form one, to a measured depth dose (see
// fit/fit_command.h and fit/free_fit_command.h).
#include "engine/program_info.h"
#include "engine/run_error.h"
#include "fit/fit_command.h"
#include "fit/free_fit_command.h"
#ifdef ORVALIS_FIT_PLOT
#include "fit_plot.h"
#include "free_fit_plot.h"
#endif

#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const engine::ProgramHelp help{
        "orvalis-fit", "fits the energy spectrum of an electron beam to a measured depth dose", fit::usageText()};
    if (const auto status = engine::answerInformationRequest(arguments, help, std::cout)) return *status;
    fit::CommandOptions options;
    try {
        options = fit::parseArguments(arguments);
    } catch (const std::invalid_argument& e) {
        std::cerr << "orvalis-fit: " << e.what() << "\n" << fit::usageText();
        return 1;
    }
    try {
        if (options.model == fit::SpectrumModel::Free) {
            fit::FreePlotWriter freePlot;
#ifdef ORVALIS_FIT_PLOT
            freePlot = fit::writeFreeFitPlot;
#endif
            return fit::runFreeFitCommand(options, std::cout, freePlot);
        }
        fit::PlotWriter plot;
#ifdef ORVALIS_FIT_PLOT
        plot = fit::writeFitPlot;
#endif
        return fit::runFitCommand(options, std::cout, plot);
    } catch (const std::exception& e) {  // engine::RunError names the file; anything else is a fault of the fit
        std::cout << std::flush;
        std::cerr << "orvalis-fit: " << e.what() << "\n";
        return 1;
    }
}
