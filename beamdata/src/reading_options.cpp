#include "beamdata/reading_options.h"

#include <optional>
#include <stdexcept>

namespace beamdata {

bool takeReadingOption(const std::string& argument, const std::function<std::string()>& nextWord,
                       QuantityChoice& quantity, DepthUnit& depthUnit) {
    if (argument == "--ionisation" || argument == "--dose") {
        const auto choice = argument == "--dose" ? QuantityChoice::Dose : QuantityChoice::Ionisation;
        if (quantity != QuantityChoice::AsDetected && quantity != choice)
            throw std::invalid_argument("give --ionisation or --dose, not both");
        quantity = choice;
        return true;
    }
    if (argument == "--depth-unit") {
        const std::optional<DepthUnit> unit = depthUnitFromWord(nextWord());
        if (!unit) throw std::invalid_argument("--depth-unit needs mm or cm");
        depthUnit = *unit;
        return true;
    }
    return false;
}

}  // namespace beamdata
