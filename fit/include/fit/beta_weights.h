#pragma once
// The spectrum of a Beta model exactly as it reaches the simulator: the set-up window computes the
// 101-point density in double precision and divides it by its largest point, writes each of bins 1
// to 100 as "0.000E+00" text (four significant digits), and the simulator reads that text back into
// 32-bit reals, drops weights below 0.001 and divides by their sum.
#include "engine/run_frame.h"

#include <array>
#include <optional>
#include <string>

namespace fit {

constexpr int DENSITY_POINTS = 101;  // x = j/100, j = 0..100

// The relative Beta density of the set-up window (largest point 1). Empty when the computation
// stops on an overflow or a division by zero, as the window's does.
std::optional<std::array<double, DENSITY_POINTS>> relativeBetaDensity(double alpha, double beta);

// A relative weight as the exchange file holds it ("0.000E+00": one digit, three decimals, signed
// two-digit exponent), rounded half-way away from zero on the value read to 15 significant digits.
std::string weightText(double relativeWeight);

// The relative weight read back by the simulator from weightText(relativeWeight).
float weightAsRead(double relativeWeight);

// The simulator's spectrum for (alpha, beta) at maxEnergyMeV: relative energies as read from
// "00.01".."01.00", weights floored and normalised, bin energies in keV, all by the simulator's own
// code. Empty when the density cannot be computed or every weight falls below the floor.
std::optional<engine::Spectrum> simulatorSpectrum(double alpha, double beta, float maxEnergyMeV);

// Relative energy of spectrum bin i (1-based) as the simulator reads it from its "00.00" text;
// bins above 100 continue the pattern (1.01, 1.02, ...).
float relativeBinEnergy(int bin);

}  // namespace fit
