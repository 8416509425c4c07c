#include "tools/depth_dose_analysis.h"

#include "beamdata/depth_dose_file.h"
#include "beamdata/fall_off.h"
#include "beamdata/range_levels.h"
#include "engine/run_error.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tools {
namespace {

constexpr double SLAB_THICKNESS_MM = 1.0;
constexpr double PEAK_WINDOW = 0.97;  // records above 97 % of the largest shape the peak
constexpr std::size_t FEWEST_RECORDS = 7;

// The record at the centre of the largest 5-record moving average: the peak as noise cannot fake it.
std::size_t smoothedPeakRecord(const DepthDoseCurve& curve) {
    std::size_t best = 0;
    double bestAverage = -1.0;
    for (std::size_t i = 0; i < curve.dose.size(); ++i) {
        const std::size_t first = i < 2 ? 0 : i - 2;
        const std::size_t last = std::min(curve.dose.size() - 1, i + 2);
        double sum = 0.0;
        for (std::size_t j = first; j <= last; ++j) sum += curve.dose[j];
        const double average = sum / static_cast<double>(last - first + 1);
        if (average > bestAverage) {
            bestAverage = average;
            best = i;
        }
    }
    return best;
}

// Least-squares parabola y = a + b x + c x^2 over a window symmetric about the peak record, as
// wide as the curve stays within 3 % of that record on both sides (a one-sided window would be
// pulled towards the flatter side). Returns false when there is no such window or no interior maximum.
bool fitPeak(const DepthDoseCurve& curve, std::size_t largest, double& depthMm, double& peak) {
    const double threshold = PEAK_WINDOW * curve.dose[largest];
    std::size_t halfWidth = 0;
    while (halfWidth < largest && largest + halfWidth + 1 < curve.dose.size() &&
           curve.dose[largest - halfWidth - 1] >= threshold && curve.dose[largest + halfWidth + 1] >= threshold) {
        ++halfWidth;
    }
    if (halfWidth < 2) return false;
    const std::size_t first = largest - halfWidth;
    const std::size_t last = largest + halfWidth;
    // Normal equations in u = x - x_largest for conditioning.
    double s[5] = {0, 0, 0, 0, 0};
    double t[3] = {0, 0, 0};
    for (std::size_t i = first; i <= last; ++i) {
        const double u = curve.depthMm[i] - curve.depthMm[largest];
        double power = 1.0;
        for (int k = 0; k < 5; ++k) {
            s[k] += power;
            if (k < 3) t[k] += power * curve.dose[i];
            power *= u;
        }
    }
    // Cramer's rule on [[s0 s1 s2][s1 s2 s3][s2 s3 s4]] (a b c) = (t0 t1 t2).
    auto det3 = [](double a11, double a12, double a13, double a21, double a22, double a23, double a31, double a32,
                   double a33) {
        return a11 * (a22 * a33 - a23 * a32) - a12 * (a21 * a33 - a23 * a31) + a13 * (a21 * a32 - a22 * a31);
    };
    const double d = det3(s[0], s[1], s[2], s[1], s[2], s[3], s[2], s[3], s[4]);
    if (d == 0.0) return false;
    const double a = det3(t[0], s[1], s[2], t[1], s[2], s[3], t[2], s[3], s[4]) / d;
    const double b = det3(s[0], t[0], s[2], s[1], t[1], s[3], s[2], t[2], s[4]) / d;
    const double c = det3(s[0], s[1], t[0], s[1], s[2], t[1], s[2], s[3], t[2]) / d;
    if (!(c < 0.0)) return false;
    const double u = -b / (2.0 * c);
    if (u < curve.depthMm[first] - curve.depthMm[largest] || u > curve.depthMm[last] - curve.depthMm[largest]) {
        return false;
    }
    depthMm = curve.depthMm[largest] + u;
    peak = a + b * u + c * u * u;
    return true;
}

}  // namespace

DepthDoseCurve readDepthDoseResult(const std::string& path) {
    const beamdata::DepthDoseRecords records = beamdata::readDepthDoseFile(path);
    DepthDoseCurve curve;
    for (std::size_t i = 0; i < records.labelMm.size(); ++i) {
        if (records.labelMm[i] < 1.0) continue;  // slabs in front of the water surface
        curve.depthMm.push_back(records.labelMm[i] - 0.5 * SLAB_THICKNESS_MM);
        curve.dose.push_back(records.dose[i]);
    }
    return curve;
}

double depthAtLevel(const DepthDoseCurve& curve, double peakDose, double level) {
    std::vector<double> relative(curve.dose.size());
    for (std::size_t i = 0; i < relative.size(); ++i) relative[i] = curve.dose[i] / peakDose;
    if (relative.empty()) return std::nan("");
    const auto crossing = beamdata::findLevelCrossing(relative, relative.size() - 1, level);
    if (!crossing) return std::nan("");
    return beamdata::crossingDepthMm(*crossing, level, curve.depthMm[crossing->record],
                                     curve.depthMm[crossing->record + 1])
        .value_or(std::nan(""));
}

DepthDoseFigures analyseDepthDose(const DepthDoseCurve& curve) {
    DepthDoseFigures q;
    if (curve.dose.size() < FEWEST_RECORDS) return q;
    const std::size_t largest = smoothedPeakRecord(curve);
    if (!fitPeak(curve, largest, q.doseMaximumDepthMm, q.peakDose)) {
        // A plateau or a peak at the surface: the largest record itself.
        const auto top = std::max_element(curve.dose.begin(), curve.dose.end());
        q.doseMaximumDepthMm = curve.depthMm[static_cast<std::size_t>(std::distance(curve.dose.begin(), top))];
        q.peakDose = *top;
    }
    q.r90Mm = depthAtLevel(curve, q.peakDose, 0.9);
    q.r80Mm = depthAtLevel(curve, q.peakDose, 0.8);
    q.r50Mm = depthAtLevel(curve, q.peakDose, 0.5);
    q.r10Mm = depthAtLevel(curve, q.peakDose, 0.1);

    // Rp and the steepest slope from the fall-off's one owner, as the beam-quality table has them.
    const std::optional<beamdata::FallOff> f = beamdata::fallOffOfCurve(curve.depthMm, curve.dose);
    if (f) {
        const double largest = *std::max_element(curve.dose.begin(), curve.dose.end());
        q.practicalRangeMm = f->rpMm;
        q.steepestGradientPerMm = -f->tangent.slopePerMm * largest / q.peakDose;
    } else {
        q.practicalRangeMm = std::nan("");
    }
    return q;
}

}  // namespace tools
