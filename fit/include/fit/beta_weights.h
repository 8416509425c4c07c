#pragma once
// The spectrum of a Beta model exactly as it reaches the simulator: the set-up window computes the
// 101-point density in double precision and divides it by its largest point, writes each of bins 1
// to 100 as "0.000E+00" text (four significant digits), and the simulator reads that text back into
// 32-bit reals, drops weights below 0.001 and divides by their sum.
#include "beamdata/exchange_files.h"
#include "engine/run_frame.h"

#include <array>
#include <optional>
#include <string>

namespace fit {

// The relative weight read back by the simulator from the text the exchange file holds for it.
using beamdata::weightAsRead;

// The simulator's spectrum for (alpha, beta) at maxEnergyMeV: relative energies as read from
// "00.01".."01.00", weights floored and normalised, bin energies in keV, all by the simulator's own
// code. Empty when the density cannot be computed or every weight falls below the floor.
std::optional<engine::Spectrum> simulatorSpectrum(double alpha, double beta, float maxEnergyMeV);

// Relative energy of spectrum bin i (1-based) as the simulator reads it from its "00.00" text;
// bins above 100 continue the pattern (1.01, 1.02, ...).
float relativeBinEnergy(int bin);

}  // namespace fit
