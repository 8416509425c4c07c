#pragma once
// The command-line options of every program that reads measured depth curves: what the detector
// measured (--ionisation, --dose) and the unit of the depths (--depth-unit mm|cm).
#include "beamdata/curve_plausibility.h"
#include "beamdata/ionisation_to_dose.h"

#include <functional>
#include <string>

namespace beamdata {

// Takes `argument` when it is one of those options, fetching the unit's word with `nextWord`;
// false for any other argument. Throws std::invalid_argument for both quantities at once or a
// unit other than mm or cm.
bool takeReadingOption(const std::string& argument, const std::function<std::string()>& nextWord,
                       QuantityChoice& quantity, DepthUnit& depthUnit);

}  // namespace beamdata
