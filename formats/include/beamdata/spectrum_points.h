#pragma once
// The 101 points x = j/100 of a spectrum as the set-up window and the exchange files hold it:
// points 1 to 100 are the weights of the 100 spectrum bins that the simulators read.
#include <array>

namespace beamdata {

inline constexpr int SPECTRUM_LAST_POINT = 100;  // points j = 0..100 at x = j/100
using SpectrumArray = std::array<double, SPECTRUM_LAST_POINT + 1>;

}  // namespace beamdata
