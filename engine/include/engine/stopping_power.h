#pragma once
// Collision stopping power of water for electrons: the Bethe formula with the Sternheimer density
// correction, in the engine's canonical 32-bit arithmetic. Shared by the transport and by the tool
// that generates the scattering table, so that both see the very same step lengths.

namespace engine {

constexpr float REST_ENERGY_KEV = 511.0f;             // electron rest energy
constexpr float BETHE_FACTOR_KEV_CM2_PER_G = 153.6f;  // factor of the Bethe formula
constexpr float WATER_Z_OVER_A = 0.5551f;             // electrons per unit of atomic mass
constexpr float BETHE_LOG_CONSTANT = 30807000.0f;     // multiplies tau^2 (tau + 2) inside the logarithm
constexpr float LN_2 = 0.693147f;
constexpr float DENSITY_SLOPE = 4.606f;  // Sternheimer: 2 ln 10, also the divisor of X
constexpr float DENSITY_OFFSET = 3.22f;
constexpr float DENSITY_COEFFICIENT = 0.39417f;
constexpr float DENSITY_EXPONENT = 3.0f;
constexpr float DENSITY_X_LOW = 0.2f;   // below: no density correction
constexpr float DENSITY_X_HIGH = 2.0f;  // above: the asymptotic straight line

// Energy loss per unit path in keV/cm for an electron of kinetic energy energyKeV (meant for
// energies above the 305 keV final-step threshold; water of density 1 g/cm3).
float collisionStoppingPower(float energyKeV);

}  // namespace engine
