#include "engine/stopping_power.h"

#include <cmath>

namespace engine {

float collisionStoppingPower(float energyKeV) {
    const float tau = energyKeV / REST_ENERGY_KEV;
    const float betaSquared = ((tau + 2.0f) * tau) / ((tau + 1.0f) * (tau + 1.0f));
    const float x = std::log(betaSquared / (1.0f - betaSquared)) / DENSITY_SLOPE;

    float densityCorrection = 0.0f;
    if (x < DENSITY_X_LOW) {
        densityCorrection = 0.0f;
    } else if (x <= DENSITY_X_HIGH) {
        densityCorrection = DENSITY_COEFFICIENT * std::pow(DENSITY_X_HIGH - x, DENSITY_EXPONENT) + DENSITY_SLOPE * x -
                            DENSITY_OFFSET;
    } else {
        densityCorrection = DENSITY_SLOPE * x - DENSITY_OFFSET;
    }

    const float f = (1.0f - betaSquared) +
                    (tau * tau / 8.0f - (2.0f * tau + 1.0f) * LN_2) / ((tau + 1.0f) * (tau + 1.0f));
    const float logTerm = std::log((tau + 2.0f) * tau * tau * BETHE_LOG_CONSTANT) + f - densityCorrection;
    return (BETHE_FACTOR_KEV_CM2_PER_G / betaSquared) * logTerm * WATER_Z_OVER_A;
}

}  // namespace engine
