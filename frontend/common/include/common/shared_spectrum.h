#pragma once
// The spectrum that the set-up window and the spectrum display share for the whole life of the
// process: 101 points, created with the process and never resized; a value never written reads
// as 0. The application owns the one instance and hands it to both windows by reference.
//
// Both windows keep their points in the same two places. The set-up window computes the Beta
// density there and launches whatever the weights hold; the spectrum display loads the points of
// a fluence file into the same places (point i's energy where the density of x = i/100 was, its
// fluence where the weight was). So a loaded file replaces the Beta curve until the next
// scroll-bar change, and that change replaces the loaded points in turn. Each window reads the
// storage through its own view below.
#include <cstddef>

#include "beamdata/beta_spectrum.h"

namespace orvalis {

using beamdata::SPECTRUM_LAST_POINT;  // points j = 0..100 at x = j/100
using beamdata::SpectrumArray;

class SharedSpectrum {
public:
    // The set-up window's view: the Beta density at x = j/100, and the same divided by its largest
    // value, whose points 1..100 are the bin weights that a launch writes.
    SpectrumArray& betaDensity() { return first_; }
    SpectrumArray& relativeWeight() { return second_; }
    const SpectrumArray& relativeWeight() const { return second_; }

    // The spectrum display's view: point 1..100 of the fluence file loaded last.
    double& loadedEnergyMeV(std::size_t point) { return first_[point]; }
    double& loadedFluence(std::size_t point) { return second_[point]; }
    double loadedEnergyMeV(std::size_t point) const { return first_[point]; }
    double loadedFluence(std::size_t point) const { return second_[point]; }

private:
    SpectrumArray first_{};
    SpectrumArray second_{};
};

}  // namespace orvalis
