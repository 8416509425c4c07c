#include "fit/clinical_beam.h"

#include "beamdata/ionisation_to_dose.h"
#include "fit/range_levels.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

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

// Multiple scattering in water (Fermi-Eyges): scattering power T = (Es / p beta)^2 / X0.
constexpr double SCATTERING_ENERGY_MEV = 21.2;
constexpr double RADIATION_LENGTH_MM = 360.8;
constexpr double ELECTRON_MASS_MEV = 0.51099895;
constexpr double LOWEST_TRACK_ENERGY_MEV = 0.1;

constexpr double SPECTRUM_STEP_MEV = 0.05;
constexpr double NOISE_FLOOR = 0.0005;          // of the maximum
constexpr double PHOTON_BUILD_UP_LENGTH = 0.3;  // of Rp

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

double scatteringPowerPerMm(double energyMeV) {
    const double e = std::max(energyMeV, LOWEST_TRACK_ENERGY_MEV);
    const double pBeta = e * (e + 2.0 * ELECTRON_MASS_MEV) / (e + ELECTRON_MASS_MEV);
    return std::pow(SCATTERING_ENERGY_MEV / pBeta, 2) / RADIATION_LENGTH_MM;
}

// On-axis fraction of the electrons of energy `energyMeV` that a square field keeps, per depth of
// the grid: erf(half side / (sqrt 2 sigma))^2 with the Fermi-Eyges lateral spread sigma(z) of a
// pencil beam whose energy falls linearly to zero at its practical range.
std::vector<double> fieldFraction(double energyMeV, const ClinicalBeam& beam, double stepMm, std::size_t points) {
    std::vector<double> fraction(points, 1.0);
    if (!(beam.fieldCm > 0.0)) return fraction;
    const double rpMm = 10.0 * referenceAt(energyMeV).rpCm;
    // sigma^2(z) = 1/2 int_0^z T(u) (z - u)^2 du = (z^2 I0 - 2 z I1 + I2) / 2, I_k = int T u^k du.
    double i0 = 0.0, i1 = 0.0, i2 = 0.0;
    for (std::size_t k = 1; k < points; ++k) {
        const double z = static_cast<double>(k) * stepMm;
        const double u = z - 0.5 * stepMm;
        if (u < rpMm) {
            const double t = scatteringPowerPerMm(energyMeV * (1.0 - u / rpMm)) * stepMm;
            i0 += t;
            i1 += t * u;
            i2 += t * u * u;
        }
        const double reach = std::min(z, rpMm);
        const double sigma = std::sqrt(std::max(0.5 * (reach * reach * i0 - 2.0 * reach * i1 + i2), 1e-12));
        const double halfSideMm = 5.0 * beam.fieldCm *
                                  (beam.sourceDistanceCm > 0.0 ? 1.0 + 0.1 * z / beam.sourceDistanceCm : 1.0);
        fraction[k] = std::pow(std::erf(halfSideMm / (std::sqrt(2.0) * sigma)), 2);
    }
    return fraction;
}

// Fluence per 0.05 MeV step: the Gaussian peak and the low-energy tail, summing to 1.
std::vector<double> beamFluence(const ClinicalBeam& beam) {
    const double sigma = beam.spread * beam.peakMeV;
    std::vector<double> peak, tail;
    double peakSum = 0.0, tailSum = 0.0;
    for (double e = SPECTRUM_STEP_MEV; e <= beam.peakMeV + 5.0 * sigma; e += SPECTRUM_STEP_MEV) {
        peak.push_back(std::exp(-0.5 * std::pow((e - beam.peakMeV) / sigma, 2)));
        const bool inTail = e >= beam.tailLowest * beam.peakMeV && e <= beam.peakMeV;
        tail.push_back(inTail ? std::pow(e / beam.peakMeV, beam.tailRise) : 0.0);
        peakSum += peak.back();
        tailSum += tail.back();
    }
    std::vector<double> w(peak.size());
    for (std::size_t k = 0; k < w.size(); ++k)
        w[k] = (1.0 - beam.tailFraction) * peak[k] / peakSum +
               (tailSum > 0.0 ? beam.tailFraction * tail[k] / tailSum : 0.0);
    return w;
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

double FineCurve::at(double depthMm) const {
    const double position = std::max(depthMm, 0.0) / stepMm;
    const auto k = static_cast<std::size_t>(position);
    if (k + 1 >= dose.size()) return dose.empty() ? 0.0 : dose.back();
    const double t = position - static_cast<double>(k);
    return dose[k] * (1.0 - t) + dose[k + 1] * t;
}

FineCurve clinicalElectronDose(const ClinicalBeam& beam, double lastMm) {
    FineCurve curve;
    const auto points = static_cast<std::size_t>(std::ceil(lastMm / curve.stepMm)) + 2;
    curve.dose.assign(points, 0.0);
    const std::vector<double> fluence = beamFluence(beam);
    for (std::size_t k = 0; k < fluence.size(); ++k) {
        if (fluence[k] <= 0.0) continue;
        const double e = SPECTRUM_STEP_MEV * static_cast<double>(k + 1);
        const std::vector<double> kept = fieldFraction(e, beam, curve.stepMm, points);
        for (std::size_t i = 0; i < points; ++i)
            curve.dose[i] += fluence[k] * kept[i] *
                             monoenergeticDose(e, curve.stepMm * static_cast<double>(i), beam.surfaceLift);
    }
    for (std::size_t i = 0; i < points; ++i) {
        const double z = curve.stepMm * static_cast<double>(i);
        if (beam.sourceDistanceCm > 0.0) curve.dose[i] *= std::pow(1.0 + 0.1 * z / beam.sourceDistanceCm, -2);
    }
    const double largest = *std::max_element(curve.dose.begin(), curve.dose.end());
    for (double& v : curve.dose) v /= largest;
    return curve;
}

DepthCurve clinicalDepthDose(const ClinicalBeam& beam) {
    const FineCurve fine = clinicalElectronDose(beam, 110.0);
    DepthCurve dose{};
    for (int label = 1; label <= 110; ++label) dose[elementOfLabel(label)] = fine.at(label);
    const double largest = *std::max_element(dose.begin(), dose.end());
    for (double& v : dose) v /= largest;
    return dose;
}

TankMeasurement measureClinicalBeam(const ClinicalBeam& beam, const PhotonBackground& photons, const TankScan& scan) {
    // The electrons far enough for any scan; Rp of their own fall-off sets the background and the end.
    const double reachMm = 10.0 * referenceAt(beam.peakMeV * (1.0 + 5.0 * beam.spread)).rpCm + 60.0;
    const FineCurve electrons = clinicalElectronDose(beam, reachMm);
    MeasuredCurve fine;
    for (std::size_t i = 0; i < electrons.dose.size(); ++i) {
        fine.depthMm.push_back(electrons.stepMm * static_cast<double>(i));
        fine.dose.push_back(electrons.dose[i]);
    }
    TankMeasurement m;
    m.practicalRangeMm = practicalRangeMm(fine).value_or(fine.depthMm.back());
    const double rp = m.practicalRangeMm;
    const double buildUpLength = PHOTON_BUILD_UP_LENGTH * rp;
    auto background = [&](double z) {
        const double shape = (1.0 - photons.buildUp * std::exp(-z / buildUpLength)) *
                             std::exp(-photons.slopePerMm * (z - rp)) /
                             (1.0 - photons.buildUp * std::exp(-rp / buildUpLength));
        return photons.atRpPercent / 100.0 * shape;
    };
    for (std::size_t i = 0; i < fine.dose.size(); ++i) fine.dose[i] += background(fine.depthMm[i]);
    const double largest = *std::max_element(fine.dose.begin(), fine.dose.end());
    const auto peak = static_cast<std::size_t>(std::max_element(fine.dose.begin(), fine.dose.end()) -
                                               fine.dose.begin());
    const double dMaxMm = fine.depthMm[peak];
    m.r50Mm = measuredLevels(fine)[2];

    std::mt19937_64 generator(scan.seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double lastMm = rp + scan.beyondRpMm;
    double readingMax = 0.0;
    for (double z = scan.firstDepthMm; z <= lastMm + 1e-9; z += z < dMaxMm ? scan.buildUpStepMm : scan.stepMm) {
        double reading = (electrons.at(z) + background(z)) / largest;
        if (scan.ionisation) reading /= beamdata::stoppingPowerRatioWaterAir(z / 10.0, m.r50Mm / 10.0);
        m.curve.depthMm.push_back(z);
        m.curve.dose.push_back(reading);
        readingMax = std::max(readingMax, reading);
    }
    const double sigmaFloor = NOISE_FLOOR * readingMax;
    for (double& reading : m.curve.dose) {
        const double sigma = std::hypot(scan.noisePercent / 100.0 * reading, sigmaFloor);
        reading = 100.0 * (reading + sigma * gauss(generator)) / readingMax;
    }
    return m;
}

}  // namespace fit
