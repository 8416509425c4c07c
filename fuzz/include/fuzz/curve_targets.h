#pragma once
// Measured curves that are too large or cannot be a depth dose, through orvalis-quality as a user
// runs it: a file over a limit is refused with the file and the limit named, an implausible curve
// (depths in cm, a second peak, too few points) is refused with the file named and a non-zero
// status, and a realistic clinical-like curve is always answered.
#include "fuzz/target.h"

#include <memory>
#include <vector>

namespace fuzz {

std::vector<std::unique_ptr<Target>> curveTargets();

}  // namespace fuzz
