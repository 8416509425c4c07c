#include "fit/beta_weights.h"

#include "engine/record_io.h"
#include "engine/run_error.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fit {

namespace {

constexpr double X_STEP = 0.01;

double power(double base, double exponent) {
    if (base == 0.0 && exponent == 0.0) return 1.0;  // 0^0 is 1 in the model
    return std::pow(base, exponent);
}

// Four significant digits, half-way away from zero, decided on the 15-digit decimal form.
struct Rounded {
    int mantissa = 0;  // 1000..9999, or 0 for a zero value
    int exponent = 0;  // value = mantissa x 10^(exponent - 3)
};

Rounded roundToFourDigits(double value) {
    if (!(value > 0.0)) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.14e", value);  // d.dddddddddddddde+XX
    int digits[15];
    int count = 0;
    for (const char* p = text; *p != 'e' && count < 15; ++p)
        if (*p >= '0' && *p <= '9') digits[count++] = *p - '0';
    int exponent = std::atoi(std::strchr(text, 'e') + 1);
    int mantissa = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    if (digits[4] >= 5) ++mantissa;  // the 15-digit form rounds half-way up in magnitude
    if (mantissa == 10000) {
        mantissa = 1000;
        ++exponent;
    }
    return {mantissa, exponent};
}

}  // namespace

std::optional<std::array<double, DENSITY_POINTS>> relativeBetaDensity(double alpha, double beta) {
    const double a1 = alpha - 1.0;
    const double b1 = beta - 1.0;
    double betaSum = 0.0;
    for (int i = 1; i < DENSITY_POINTS; ++i) {
        const double x = X_STEP * i;
        if (1.0 - x == 0.0) continue;
        betaSum += power(x, a1) * power(1.0 - x, b1);
        if (!std::isfinite(betaSum)) return std::nullopt;
    }
    if (betaSum == 0.0) return std::nullopt;
    std::array<double, DENSITY_POINTS> density{};
    double largest = 0.0;
    for (int j = 0; j < DENSITY_POINTS; ++j) {
        const double y = X_STEP * j;
        const auto index = static_cast<std::size_t>(j);
        // Where the density is infinite the model sets it to 0.
        if ((b1 < 0.0 && 1.0 - y == 0.0) || (a1 < 0.0 && y == 0.0)) {
            density[index] = 0.0;
        } else {
            density[index] = power(y, a1) * power(1.0 - y, b1) / betaSum;
            if (!std::isfinite(density[index])) return std::nullopt;
        }
        if (density[index] > largest) largest = density[index];
    }
    if (largest == 0.0) return std::nullopt;
    for (double& value : density) value /= largest;
    return density;
}

std::string weightText(double relativeWeight) {
    const Rounded r = roundToFourDigits(relativeWeight);
    if (r.mantissa == 0) return "0.000E+00";
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03dE%c%02d", r.mantissa / 1000, r.mantissa % 1000, r.exponent < 0 ? '-' : '+',
                  std::abs(r.exponent));
    return text;
}

float weightAsRead(double relativeWeight) {
    float value = 0.0f;
    // The simulator's E10.3 field: the blank in column 6, then the nine characters.
    std::string field(" ");
    field += weightText(relativeWeight);
    engine::parseRealField(field, 3, value);
    return value;
}

float relativeBinEnergy(int bin) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d", bin / 100, bin % 100);
    float value = 0.0f;
    engine::parseRealField(text, 2, value);
    return value;
}

std::optional<engine::Spectrum> simulatorSpectrum(double alpha, double beta, float maxEnergyMeV) {
    const auto relative = relativeBetaDensity(alpha, beta);
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
