#pragma once
// The free-form spectrum fit as the fit window runs it: what the window reads from the fit's
// output (the RESULT figures and the fitted spectrum) and the text it shows. Plain C++.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/fit_protocol.h"
#include "viewers/spectrum_fit_run.h"

namespace orvalis::viewers {

using beamdata::FREE_SPECTRUM_BINS;  // the bins of the exchange file

struct SpectrumPoint {
    double energyMeV = 0.0;       // of the bin: bin/100 x the maximum energy
    double relativeWeight = 0.0;  // largest 1
};

struct FreeFitView {
    beamdata::FreeFitOutput result;                            // the RESULT figures and levels
    std::array<SpectrumPoint, FREE_SPECTRUM_BINS> spectrum{};  // bins 1..100
};

// The whole output of a free-form run: its RESULT figures, levels and spectrum, with each bin at its
// energy. Empty unless all of them are there.
std::optional<FreeFitView> parseFreeFit(std::string_view output);

// What the fit window shows of a free-form result: rms, Emax, mean and peak energy, background (or
// why there is none) and smoothing, then R90, R80, R50 and R10 of the measurement, the model and the
// confirming run; the 95 % intervals of mean and peak energy and of the model's R-values beside them
// when the output has them.
std::string freeFitFiguresText(const beamdata::FreeFitOutput& result);

}  // namespace orvalis::viewers
