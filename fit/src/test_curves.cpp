#include "fit/test_curves.h"

#include "fit/background_model.h"

#include "beamdata/beta_spectrum.h"
#include "fit/beta_weights.h"
#include "fit/range_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace fit {

std::array<double, 100> betaWithPlateau(double alpha, double beta, double plateau) {
    std::array<double, 100> w{};
    const auto density = beamdata::relativeBetaDensity(alpha, beta);
    if (!density) return w;
    std::size_t peak = 0;
    for (std::size_t j = 0; j < w.size(); ++j) {
        w[j] = (*density)[j + 1];
        if (w[j] > w[peak]) peak = j;
    }
    for (std::size_t j = 0; j < peak; ++j) w[j] = std::max(w[j], plateau);
    return w;
}

std::array<double, 100> twoPeaks(double x1, double x2, double sigma, double ratio) {
    std::array<double, 100> w{};
    double largest = 0.0;
    for (std::size_t j = 0; j < w.size(); ++j) {
        const double x = static_cast<double>(j + 1) / 100.0;
        w[j] = std::exp(-0.5 * std::pow((x - x1) / sigma, 2)) + ratio * std::exp(-0.5 * std::pow((x - x2) / sigma, 2));
        largest = std::max(largest, w[j]);
    }
    for (double& v : w) v /= largest;
    return w;
}

MeasuredCurve measurementFromResult(const DepthCurve& relative, const MeasurementMaking& m) {
    MeasuredCurve fine;
    for (int label = 1; label <= 110; ++label) {
        fine.depthMm.push_back(label);
        fine.dose.push_back(std::max(relative[elementOfLabel(label)], 0.0));
    }
    const double rp = practicalRangeMm(fine).value_or(fine.depthMm.back());
    const RangeLevels levels = resultCurveLevels(relative);
    const double last = m.lastDepthMm > 0.0 ? m.lastDepthMm : std::min(110.0, std::floor(1.3 * rp + 10.0));
    std::vector<double> depths;
    for (double z = 1.0; z <= last + 1e-9;) {
        depths.push_back(z);
        // Fine steps through the fall-off, unless the whole curve is taken coarsely.
        const bool fallOff = z >= levels[0] - 2.0 && z <= levels[3] + 2.0 && m.stepMm <= 2.0;
        z += fallOff ? 1.0 : m.stepMm;
    }
    std::mt19937_64 generator(m.seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    MeasuredCurve curve;
    for (double z : depths) {
        BackgroundLine line;
        line.practicalRangeMm = rp;
        line.relativeSlopePerMm = m.backgroundSlopePerMm;
        const double background = m.backgroundPercent / 100.0 * (m.photonBuildUp ? line.shapeAt(z) : line.lineAt(z));
        const double dose = resultCurveAt(relative, z) + background;
        curve.depthMm.push_back(z);
        curve.dose.push_back(100.0 * dose * (1.0 + m.noisePercent / 100.0 * gauss(generator)));
    }
    return curve;
}

std::string measuredFileText(const MeasuredCurve& curve, const std::string& heading) {
    std::string text = heading + "\n";
    char line[64];
    for (std::size_t i = 0; i < curve.depthMm.size(); ++i) {
        std::snprintf(line, sizeof line, "%.1f, %.3f\n", curve.depthMm[i], curve.dose[i]);
        text += line;
    }
    return text;
}

}  // namespace fit
