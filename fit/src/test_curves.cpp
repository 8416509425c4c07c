#include "fit/test_curves.h"

#include "beamdata/beta_spectrum.h"
#include "fit/beta_weights.h"
#include "fit/range_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace fit {

namespace {

// Monoenergetic, infinitely broad parallel beams in water, full physics (bremsstrahlung and delta
// rays included): energy (MeV); d_max, R90, R80, R50, R10, Rp (cm); surface dose (%).
struct ReferenceRow {
    double energyMeV, dMaxCm, r90Cm, r80Cm, r50Cm, r10Cm, rpCm, surfacePercent;
};
constexpr ReferenceRow REFERENCE[] = {
    {4, 0.86, 1.15, 1.26, 1.513, 1.85, 1.88, 63.3},     {6, 1.43, 1.84, 2.01, 2.365, 2.85, 2.90, 64.9},
    {9, 2.30, 2.92, 3.16, 3.667, 4.35, 4.41, 68.1},     {12, 3.20, 4.01, 4.33, 4.976, 5.84, 5.93, 70.9},
    {16, 4.22, 5.45, 5.87, 6.692, 7.82, 7.90, 73.9},    {20, 5.31, 6.83, 7.34, 8.391, 9.79, 9.87, 76.2},
    {25, 6.29, 8.44, 9.13, 10.454, 12.21, 12.27, 78.6},
};
constexpr double FOOT_PERCENT_AT_RP = 5.0;  // the electrons' own foot at Rp
constexpr double FOOT_END = 0.35;           // it ends this fraction of (Rp - R50) beyond Rp

// Row for any energy: linear between rows; below and above the table, depths scaled with energy.
ReferenceRow referenceAt(double energyMeV) {
    const auto n = std::size(REFERENCE);
    if (energyMeV <= REFERENCE[0].energyMeV || energyMeV >= REFERENCE[n - 1].energyMeV) {
        const ReferenceRow& edge = energyMeV <= REFERENCE[0].energyMeV ? REFERENCE[0] : REFERENCE[n - 1];
        const double f = energyMeV / edge.energyMeV;
        return {energyMeV,      edge.dMaxCm * f, edge.r90Cm * f, edge.r80Cm * f,
                edge.r50Cm * f, edge.r10Cm * f,  edge.rpCm * f,  edge.surfacePercent};
    }
    std::size_t k = 1;
    while (REFERENCE[k].energyMeV < energyMeV) ++k;
    const ReferenceRow& a = REFERENCE[k - 1];
    const ReferenceRow& b = REFERENCE[k];
    const double t = (energyMeV - a.energyMeV) / (b.energyMeV - a.energyMeV);
    auto mix = [t](double x, double y) { return x + t * (y - x); };
    return {energyMeV,
            mix(a.dMaxCm, b.dMaxCm),
            mix(a.r90Cm, b.r90Cm),
            mix(a.r80Cm, b.r80Cm),
            mix(a.r50Cm, b.r50Cm),
            mix(a.r10Cm, b.r10Cm),
            mix(a.rpCm, b.rpCm),
            mix(a.surfacePercent, b.surfacePercent)};
}

// Monotone piecewise cubic through the knots (Fritsch and Carlson), flat outside them.
double monotoneCubic(const std::vector<double>& x, const std::vector<double>& y, double at) {
    const std::size_t n = x.size();
    if (at <= x.front()) return y.front();
    if (at >= x.back()) return y.back();
    std::vector<double> slope(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) slope[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]);
    std::vector<double> m(n);
    m[0] = slope[0];
    m[n - 1] = slope[n - 2];
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double before = x[i] - x[i - 1];
        const double after = x[i + 1] - x[i];
        const double w1 = 2.0 * after + before;
        const double w2 = after + 2.0 * before;
        m[i] = slope[i - 1] * slope[i] <= 0.0 ? 0.0 : (w1 + w2) / (w1 / slope[i - 1] + w2 / slope[i]);
    }
    m[0] = 0.0;  // the surface point: no slope imposed
    std::size_t i = 0;
    while (x[i + 1] < at) ++i;
    const double h = x[i + 1] - x[i];
    const double t = (at - x[i]) / h;
    const double h00 = (1 + 2 * t) * (1 - t) * (1 - t), h10 = t * (1 - t) * (1 - t);
    const double h01 = t * t * (3 - 2 * t), h11 = t * t * (t - 1);
    return h00 * y[i] + h10 * h * m[i] + h01 * y[i + 1] + h11 * h * m[i + 1];
}

}  // namespace

double monoenergeticDose(double energyMeV, double depthMm, double surfaceLift) {
    const ReferenceRow r = referenceAt(energyMeV);
    const double ds = r.surfacePercent + surfaceLift * (100.0 - r.surfacePercent);
    const std::vector<double> x = {0.0,
                                   5.0 * r.dMaxCm,
                                   10.0 * r.dMaxCm,
                                   10.0 * r.r90Cm,
                                   10.0 * r.r80Cm,
                                   10.0 * r.r50Cm,
                                   10.0 * r.r10Cm,
                                   10.0 * r.rpCm,
                                   10.0 * (r.rpCm + FOOT_END * (r.rpCm - r.r50Cm))};
    const std::vector<double> y = {ds,   ds + 0.75 * (100.0 - ds), 100.0, 90.0, 80.0, 50.0,
                                   10.0, FOOT_PERCENT_AT_RP,       0.0};
    return std::max(0.0, monotoneCubic(x, y, depthMm)) / 100.0;
}

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

DepthCurve clinicalDepthDose(const ClinicalBeam& beam) {
    // Fluence in 0.05 MeV steps: the Gaussian peak and the flat tail from 0.3 x peak to the peak.
    constexpr double STEP_MEV = 0.05;
    std::vector<std::pair<double, double>> fluence;
    const double sigma = beam.spread * beam.peakMeV;
    double peakSum = 0.0;
    double tailSum = 0.0;
    for (double e = STEP_MEV; e <= beam.peakMeV + 5.0 * sigma; e += STEP_MEV) {
        const double peak = std::exp(-0.5 * std::pow((e - beam.peakMeV) / sigma, 2));
        const double tail = (e >= 0.3 * beam.peakMeV && e <= beam.peakMeV) ? 1.0 : 0.0;
        fluence.emplace_back(peak, tail);
        peakSum += peak;
        tailSum += tail;
    }
    DepthCurve dose{};
    std::size_t k = 0;
    for (double e = STEP_MEV; k < fluence.size(); e += STEP_MEV, ++k) {
        const double w = (1.0 - beam.tailFraction) * fluence[k].first / peakSum +
                         (tailSum > 0.0 ? beam.tailFraction * fluence[k].second / tailSum : 0.0);
        if (w <= 0.0) continue;
        for (int label = 1; label <= 110; ++label)
            dose[static_cast<std::size_t>(label + 14)] += w * monoenergeticDose(e, label, beam.surfaceLift);
    }
    const double largest = *std::max_element(dose.begin(), dose.end());
    for (double& v : dose) v /= largest;
    return dose;
}

MeasuredCurve measurementFromResult(const DepthCurve& relative, const MeasurementMaking& m) {
    MeasuredCurve fine;
    for (int label = 1; label <= 110; ++label) {
        fine.depthMm.push_back(label);
        fine.dose.push_back(std::max(relative[static_cast<std::size_t>(label + 14)], 0.0));
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
        const double background = m.backgroundPercent / 100.0 * std::max(0.0, 1.0 + m.backgroundSlopePerMm * (z - rp));
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
