#include "fit/beta_weights.h"

#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "engine/record_io.h"
#include "engine/run_error.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fit {

float relativeBinEnergy(int bin) {
    float value = 0.0f;
    engine::parseRealField(beamdata::relativeEnergyText(bin), 2, value);
    return value;
}

std::optional<engine::Spectrum> simulatorSpectrum(double alpha, double beta, float maxEnergyMeV) {
    const auto relative = beamdata::relativeBetaDensity(alpha, beta);
    if (!relative) return std::nullopt;
    engine::Spectrum spectrum;
    for (int bin = 1; bin <= engine::SPECTRUM_BINS; ++bin) {
        const auto index = static_cast<std::size_t>(bin - 1);
        spectrum.relativeEnergy[index] = relativeBinEnergy(bin);
        float weight = weightAsRead((*relative)[static_cast<std::size_t>(bin)]);
        if (weight < engine::WEIGHT_FLOOR) weight = 0.0f;
        spectrum.binWeight[index] = weight;
    }
    try {
        engine::normaliseSpectrum(spectrum, maxEnergyMeV);
    } catch (const engine::RunError&) {
        return std::nullopt;  // every weight below the floor
    }
    return spectrum;
}

}  // namespace fit
