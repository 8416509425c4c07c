// orvalis-quality: beam-quality figures of measured depth curves (see tools/quality_report.h).
#include <iostream>

#include "engine/program_info.h"
#include "tools/quality_report.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const engine::ProgramHelp help{"orvalis-quality", "beam-quality figures of measured electron depth curves",
                                   tools::qualityUsage()};
    if (const auto status = engine::answerInformationRequest(arguments, help, std::cout)) return *status;
    tools::QualityOptions options;
    try {
        options = tools::parseQualityArguments(arguments);
    } catch (const std::invalid_argument& e) {
        std::cerr << "orvalis-quality: " << e.what() << "\n" << tools::qualityUsage();
        return 1;
    }
    return tools::runQuality(options, std::cout, std::cerr);
}
