#include "beamdata/beta_spectrum.h"

#include <cmath>

namespace beamdata {
namespace {

constexpr double STEP = 0.01;  // spacing of the Beta points in x

// base^exponent with 0^0 = 1; the caller never passes 0 with a negative exponent.
double power(double base, double exponent) {
    if (base == 0.0 && exponent == 0.0) return 1.0;
    return std::pow(base, exponent);
}

}  // namespace

SpectrumUpdate updateSpectrum(double alpha, double beta, SpectrumArray& density, SpectrumArray& relative) {
    const double a1 = alpha - 1.0;
    const double b1 = beta - 1.0;

    double betaSum = 0.0;
    for (int i = 1; i <= SPECTRUM_LAST_POINT; ++i) {
        const double x = STEP * i;
        if (1.0 - x == 0.0) continue;
        betaSum += power(x, a1) * power(1.0 - x, b1);
        if (!std::isfinite(betaSum)) return SpectrumUpdate::Stopped;
    }
    if (betaSum == 0.0) return SpectrumUpdate::Stopped;

    double largest = 0.0;
    for (int j = 0; j <= SPECTRUM_LAST_POINT; ++j) {
        const double y = STEP * j;
        const auto index = static_cast<std::size_t>(j);
        if ((b1 < 0.0 && 1.0 - y == 0.0) || (a1 < 0.0 && y == 0.0)) {
            density[index] = 0.0;
        } else {
            const double value = power(y, a1) * power(1.0 - y, b1) / betaSum;
            if (!std::isfinite(value)) return SpectrumUpdate::Stopped;
            density[index] = value;
        }
        if (density[index] > largest) largest = density[index];
    }
    if (largest == 0.0) return SpectrumUpdate::Stopped;

    for (std::size_t j = 0; j < relative.size(); ++j) relative[j] = density[j] / largest;
    return SpectrumUpdate::Completed;
}

std::optional<SpectrumArray> relativeBetaDensity(double alpha, double beta) {
    SpectrumArray density{};
    SpectrumArray relative{};
    if (updateSpectrum(alpha, beta, density, relative) != SpectrumUpdate::Completed) return std::nullopt;
    return relative;
}

}  // namespace beamdata
