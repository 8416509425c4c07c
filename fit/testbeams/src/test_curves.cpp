#include "fit/test_curves.h"

#include "fit/background_model.h"

#include "beamdata/beta_spectrum.h"
#include "beamdata/fall_off.h"
#include "beamdata/ionisation_to_dose.h"
#include "beamdata/range_levels.h"
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
    const LevelDepths levels = resultCurveLevels(relative);
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

namespace fit {

std::vector<ClinicalCase> clinicalTestSet(double stepMm) {
    // peak MeV, spread, tail, tail from, tail rise, lift, field cm, SSD cm; background at Rp %,
    // its build-up; noise %, chamber, seed; the scan ends this far beyond Rp.
    struct Row {
        const char* name;
        double peak, spread, tail, tailFrom, tailRise, lift, field, ssd, bg, bgBuild, noise;
        bool chamber;
        std::uint64_t seed;
        double beyondMm;
    };
    constexpr Row ROWS[] = {
        {"e06f10", 6.2, 4, 8, 0.3, 1, 55, 10, 90, 0.6, 0.3, 0.3, false, 11, 15},
        {"e06f15", 6.0, 5, 12, 0.25, 0, 45, 15, 95, 0.8, 0.0, 0.2, true, 12, 25},
        {"e09f10", 9.3, 4, 10, 0.3, 2, 50, 10, 95, 1.2, 0.5, 0.4, true, 13, 30},
        {"e09f15", 9.0, 3, 6, 0.4, 1, 60, 15, 100, 1.5, 0.0, 0.3, false, 14, 20},
        {"e12f10", 12.4, 5, 12, 0.3, 1, 55, 10, 92, 2.0, 0.6, 0.5, false, 15, 35},
        {"e12f15", 12.0, 4, 9, 0.2, 0, 50, 15, 97, 2.4, 0.3, 0.3, false, 16, 20},
        {"e16f10", 16.2, 4, 10, 0.3, 2, 60, 10, 95, 3.0, 0.6, 0.3, false, 17, 25},
        {"e16f15", 16.0, 6, 14, 0.35, 1, 55, 15, 90, 2.8, 0.0, 0.25, true, 18, 40},
        {"e20f10", 20.5, 5, 10, 0.3, 1, 65, 10, 95, 4.5, 0.6, 0.3, false, 19, 30},
        {"e20f15", 19.8, 4, 8, 0.3, 0, 60, 15, 100, 3.5, 0.3, 0.4, false, 20, 30},
        {"e20f15i", 20.0, 5, 12, 0.25, 2, 70, 15, 92, 5.0, 0.5, 0.3, true, 21, 35},
        {"e09f10c", 8.8, 5, 15, 0.3, 0, 40, 10, 88, 1.0, 0.7, 0.5, false, 22, 15},
    };
    std::vector<ClinicalCase> set;
    for (const Row& r : ROWS) {
        ClinicalCase c{r.name, {}, {}, {}};
        c.beam = {r.peak, r.spread / 100.0, r.tail / 100.0, r.tailFrom, r.tailRise, r.lift / 100.0, r.field, r.ssd};
        c.photons.atRpPercent = r.bg;
        c.photons.buildUp = r.bgBuild;
        c.scan.firstDepthMm = 1.0;
        c.scan.buildUpStepMm = 1.0;
        c.scan.stepMm = stepMm;
        c.scan.beyondRpMm = r.beyondMm;
        c.scan.noisePercent = r.noise;
        c.scan.ionisation = r.chamber;
        c.scan.seed = r.seed;
        set.push_back(c);
    }
    return set;
}

MeasuredCurve measuredDose(const ClinicalCase& c) {
    const MeasuredCurve reading = measureClinicalBeam(c.beam, c.photons, c.scan).curve;
    if (!c.scan.ionisation) return reading;
    beamdata::DepthScan scan;
    scan.depthMm = reading.depthMm;
    scan.value = reading.dose;
    const auto dose = beamdata::ionisationToDose(scan);
    if (!dose) return {};
    return {dose->curve.depthMm, dose->curve.value};
}

MeasuredCurve thinnedCurve(const MeasuredCurve& fine, std::size_t factor, std::size_t phase) {
    MeasuredCurve coarse;
    for (std::size_t i = phase % factor; i < fine.dose.size(); i += factor) {
        coarse.depthMm.push_back(fine.depthMm[i]);
        coarse.dose.push_back(fine.dose[i]);
    }
    return coarse;
}

MeasuredCurve endingAtR10(const MeasuredCurve& curve) {
    constexpr double R10_FRACTION = 0.1;
    MeasuredCurve cut;
    if (curve.dose.empty()) return cut;
    const auto top = static_cast<std::size_t>(std::max_element(curve.dose.begin(), curve.dose.end()) -
                                              curve.dose.begin());
    const double level = R10_FRACTION * curve.dose[top];
    for (std::size_t i = 0; i < curve.dose.size(); ++i) {
        cut.depthMm.push_back(curve.depthMm[i]);
        cut.dose.push_back(curve.dose[i]);
        if (i > top && curve.dose[i] <= level) break;
    }
    return cut;
}

}  // namespace fit

namespace fit {

double localTangentPracticalRangeMm(const MeasuredCurve& c, double intercept, double slope) {
    constexpr std::size_t STEPS = 3;
    const double fallOffMm = beamdata::levelDepthMm(c.depthMm, c.dose, 0.2) -
                             beamdata::levelDepthMm(c.depthMm, c.dose, 0.8);
    const double HALF_WIDTH_MM = std::max(3.0, std::isfinite(fallOffMm) ? 0.3 * fallOffMm : 0.0);
    const auto top = static_cast<std::size_t>(std::max_element(c.dose.begin(), c.dose.end()) - c.dose.begin());
    double steepest = 0.0, depth = 0.0, percent = 0.0;
    for (std::size_t i = top + 1; i < c.dose.size(); ++i) {
        if (c.dose[i] > 90.0 || c.dose[i] < 15.0) continue;
        std::size_t first = i, last = i;
        while (first > 0 && c.depthMm[i] - c.depthMm[first - 1] <= HALF_WIDTH_MM) --first;
        while (last + 1 < c.depthMm.size() && c.depthMm[last + 1] - c.depthMm[i] <= HALF_WIDTH_MM) ++last;
        if (i - first < STEPS || last - i < STEPS) continue;
        std::array<double, 4> k{};
        if (!beamdata::polynomialFit(c.depthMm, c.dose, first, last, c.depthMm[i], 3, k)) continue;
        if (k[1] < steepest) steepest = k[1], depth = c.depthMm[i], percent = k[0];
    }
    if (!(steepest < slope)) return std::nan("");
    return (intercept - percent + steepest * depth) / (steepest - slope);
}

}  // namespace fit
