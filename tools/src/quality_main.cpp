// orvalis-quality: beam-quality figures of measured depth curves (see tools/quality_report.h).
#include <iostream>

#include "tools/quality_report.h"

int main(int argc, char** argv) {
    tools::QualityOptions options;
    try {
        options = tools::parseQualityArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::cerr << "orvalis-quality: " << e.what() << "\n" << tools::qualityUsage();
        return 1;
    }
    return tools::runQuality(options, std::cout, std::cerr);
}
