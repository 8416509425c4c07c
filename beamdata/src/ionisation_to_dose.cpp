#include "beamdata/ionisation_to_dose.h"

#include <algorithm>
#include <cmath>

#include "beamdata/range_levels.h"
#include "engine/run_error.h"

namespace beamdata {
namespace {

// Burns, Ding and Rogers, Med. Phys. 23, 383 (1996): s = (a + b x + c x^2 + d y) / (1 + e x + f x^2
// + g x^3 + h y) with x = ln R50, y = z / R50.
constexpr double A = 1.0752, B = -0.50867, C = 0.08867, D = -0.08402;
constexpr double E = -0.42806, F = 0.06463, G = 0.003085, H = -0.1246;
constexpr double R50_LOWEST_CM = 1.0, R50_HIGHEST_CM = 19.0;
constexpr double Y_LOWEST = 0.02, Y_HIGHEST = 1.2;
constexpr double I50_BREAK_CM = 10.0;
constexpr double MM_PER_CM = 10.0;
constexpr double HALF = 0.5;
constexpr double PERCENT = 100.0;

// The ionisation times the ratio at each depth for r50Mm, in percent of the largest product.
std::vector<double> convertedValues(const DepthScan& ionisation, double r50Mm) {
    std::vector<double> dose(ionisation.value.size());
    for (std::size_t k = 0; k < dose.size(); ++k)
        dose[k] = ionisation.value[k] *
                  stoppingPowerRatioWaterAir(ionisation.depthMm[k] / MM_PER_CM, r50Mm / MM_PER_CM);
    const double largest = *std::max_element(dose.begin(), dose.end());
    for (double& d : dose)
        d = PERCENT * (d / largest);  // divided first: a reading near the largest double stays finite
    return dose;
}

}  // namespace

double stoppingPowerRatioWaterAir(double depthCm, double r50Cm) {
    const double r50 = std::clamp(r50Cm, R50_LOWEST_CM, R50_HIGHEST_CM);
    const double x = std::log(r50);
    const double y = std::clamp(depthCm / r50, Y_LOWEST, Y_HIGHEST);
    return (A + B * x + C * x * x + D * y) / (1.0 + E * x + F * x * x + G * x * x * x + H * y);
}

double r50FromI50Cm(double i50Cm) { return i50Cm <= I50_BREAK_CM ? 1.029 * i50Cm - 0.06 : 1.059 * i50Cm - 0.37; }

std::optional<DoseConversion> ionisationToDose(const DepthScan& ionisation) {
    DoseConversion conversion;
    conversion.i50Mm = levelDepthMm(ionisation.depthMm, ionisation.value, HALF);
    if (!std::isfinite(conversion.i50Mm) || ionisation.value.empty()) return std::nullopt;
    const double firstR50Mm = MM_PER_CM * r50FromI50Cm(conversion.i50Mm / MM_PER_CM);
    // The ratios depend on R50, which the converted curve gives better than the relation to I50:
    // convert once with the relation's R50, then again with the R50 of that first dose curve.
    const std::vector<double> first = convertedValues(ionisation, firstR50Mm);
    const double r50Mm = levelDepthMm(ionisation.depthMm, first, HALF);
    conversion.r50Mm = std::isfinite(r50Mm) ? r50Mm : firstR50Mm;
    conversion.curve.info = ionisation.info;
    conversion.curve.info.convertedToDose = true;
    conversion.curve.depthMm = ionisation.depthMm;
    conversion.curve.value = convertedValues(ionisation, conversion.r50Mm);
    return conversion;
}

DepthScan depthDoseOf(const DepthScan& scan, QuantityChoice choice, const std::string& fileName) {
    DepthScan chosen = scan;
    if (choice == QuantityChoice::Ionisation) chosen.info.quantity = Quantity::Ionisation;
    if (choice == QuantityChoice::Dose) chosen.info.quantity = Quantity::Dose;
    if (chosen.info.quantity == Quantity::Dose) return chosen;
    std::optional<DoseConversion> conversion = ionisationToDose(chosen);
    if (!conversion)
        throw engine::RunError(fileName, chosen.info.firstLine,
                               "the ionisation curve never falls to 50 %, so it cannot be converted to dose");
    return std::move(conversion->curve);
}

}  // namespace beamdata
