#include "beamdata/beam_quality.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "beamdata/range_levels.h"

namespace beamdata {
namespace {

constexpr double NOT_FOUND = std::numeric_limits<double>::quiet_NaN();
constexpr double PERCENT = 100.0;
constexpr double PEAK_WINDOW_PERCENT = 99.0;  // points within 1 % of the largest shape the peak
constexpr double SURFACE_DEPTH_MM = 0.5;
constexpr double SURFACE_EXTRAPOLATION_MM = 2.0;        // a first point up to here may be extrapolated to 0.5 mm
constexpr double TANGENT_HALF_WIDTH_MM = 3.0;           // the local cubic around a candidate steepest point
constexpr double TANGENT_HALF_WIDTH_OF_FALL_OFF = 0.3;  // ... or 30 % of the 80-20 % fall-off
constexpr int TANGENT_STEPS = 3;                        // ... and at least three steps on each side
constexpr int FINE_FALL_OFF_POINTS = 8;                 // points between R90 and R10 for the local cubic
constexpr double CANDIDATE_HIGHEST = 90.0;              // the steepest point lies between these levels
constexpr double CANDIDATE_LOWEST = 15.0;
constexpr double FALL_OFF_TOP = 97.0;  // the error-function fall-off is fitted below this
// The tail begins where the electrons' toe has died out: beyond Rp by 1.6 times the distance from
// the tangent's 50 % point to Rp (about two straggling widths), at least 2 mm.
constexpr double TAIL_MARGIN_OF_TOE = 1.6;
constexpr double TAIL_MARGIN_MM = 2.0;
constexpr int BACKGROUND_ROUNDS = 3;
constexpr double MM_PER_CM = 10.0;

// Least-squares polynomial of degree `degree` (at most 3) in u = depth - centre over the points
// first..last; coefficients from the constant up. False when the normal equations are singular.
bool polynomialFit(std::span<const double> z, std::span<const double> p, std::size_t first, std::size_t last,
                   double centre, int degree, std::array<double, 4>& coefficient) {
    const auto n = static_cast<std::size_t>(degree + 1);
    double m[4][5] = {};
    for (std::size_t i = first; i <= last; ++i) {
        const double u = z[i] - centre;
        double powers[4] = {1.0, u, u * u, u * u * u};
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t c = 0; c < n; ++c) m[r][c] += powers[r] * powers[c];
            m[r][4] += powers[r] * p[i];
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t pivot = k;
        for (std::size_t r = k + 1; r < n; ++r)
            if (std::fabs(m[r][k]) > std::fabs(m[pivot][k])) pivot = r;
        if (m[pivot][k] == 0.0) return false;
        for (std::size_t c = 0; c < 5; ++c) std::swap(m[k][c], m[pivot][c]);
        for (std::size_t r = k + 1; r < n; ++r) {
            const double factor = m[r][k] / m[k][k];
            for (std::size_t c = k; c < 5; ++c) m[r][c] -= factor * m[k][c];
        }
    }
    coefficient = {};
    for (std::size_t r = n; r-- > 0;) {
        double sum = m[r][4];
        for (std::size_t c = r + 1; c < n; ++c) sum -= m[r][c] * coefficient[c];
        coefficient[r] = sum / m[r][r];
    }
    return std::isfinite(coefficient[0]) && std::isfinite(coefficient[1]);
}

std::size_t largestPoint(std::span<const double> p) {
    return static_cast<std::size_t>(std::max_element(p.begin(), p.end()) - p.begin());
}

// d_max: the vertex of a parabola over the points about the largest, as far on both sides as the
// curve stays within 1 % of it (at least the two neighbours; a one-sided window would be pulled
// towards the flatter side), or the largest point itself at an end of the curve.
double depthOfMaximumMm(std::span<const double> z, std::span<const double> p) {
    const std::size_t top = largestPoint(p);
    if (top == 0 || top + 1 == p.size()) return z[top];
    std::size_t half = 1;
    while (half < top && top + half + 1 < p.size() && p[top - half - 1] >= PEAK_WINDOW_PERCENT &&
           p[top + half + 1] >= PEAK_WINDOW_PERCENT)
        ++half;
    const std::size_t first = top - half, last = top + half;
    std::array<double, 4> c{};
    if (!polynomialFit(z, p, first, last, z[top], 2, c) || !(c[2] < 0.0)) return z[top];
    const double vertex = z[top] - c[1] / (2.0 * c[2]);
    return std::clamp(vertex, z[first], z[last]);
}

double surfaceDosePercent(std::span<const double> z, std::span<const double> p) {
    if (z.size() < 2 || z.front() > SURFACE_EXTRAPOLATION_MM) return NOT_FOUND;
    std::size_t i = 1;
    while (i + 1 < z.size() && z[i] < SURFACE_DEPTH_MM) ++i;
    return p[i - 1] + (p[i] - p[i - 1]) * (SURFACE_DEPTH_MM - z[i - 1]) / (z[i] - z[i - 1]);
}

double medianStepMm(std::span<const double> z, std::size_t from) {
    std::vector<double> steps;
    for (std::size_t i = from + 1; i < z.size(); ++i) steps.push_back(z[i] - z[i - 1]);
    if (steps.empty()) return 0.0;
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    return steps[steps.size() / 2];
}

// Fine steps: at each point of the fall-off, a least-squares cubic over the points within 3 mm
// (at least three steps) on each side; the steepest of these local tangents. The cubic follows the
// S of the fall-off without flattening its slope, and averages the noise of single points.
std::optional<Tangent> localCubicTangent(std::span<const double> z, std::span<const double> p) {
    const std::size_t top = largestPoint(p);
    const double fallOffMm = levelDepthMm(z, p, 0.2) - levelDepthMm(z, p, 0.8);
    const double halfWidth = std::max({TANGENT_HALF_WIDTH_MM, TANGENT_STEPS * medianStepMm(z, top),
                                       std::isfinite(fallOffMm) ? TANGENT_HALF_WIDTH_OF_FALL_OFF * fallOffMm : 0.0});
    std::optional<Tangent> steepest;
    for (std::size_t i = top + 1; i < p.size(); ++i) {
        if (p[i] > CANDIDATE_HIGHEST || p[i] < CANDIDATE_LOWEST) continue;
        std::size_t first = i;
        std::size_t last = i;
        while (first > 0 && z[i] - z[first - 1] <= halfWidth) --first;
        while (last + 1 < z.size() && z[last + 1] - z[i] <= halfWidth) ++last;
        if (i - first < TANGENT_STEPS || last - i < TANGENT_STEPS) continue;
        std::array<double, 4> c{};
        if (!polynomialFit(z, p, first, last, z[i], 3, c)) continue;
        if (!steepest || c[1] < steepest->slopePerMm) steepest = Tangent{z[i], c[0], c[1], false};
    }
    return steepest;
}

double gaussianTail(double u) { return 0.5 * std::erfc(u / std::sqrt(2.0)); }
double gaussianDensity(double u) { return std::exp(-0.5 * u * u) / std::sqrt(2.0 * std::numbers::pi); }

// Coarse steps: the fall-off below 97 % as background + a Q((z - m) / s), Q the Gaussian tail
// (range straggling), fitted by damped Gauss-Newton steps; the tangent at its inflection m. With
// only a few points on the fall-off this shape fills in what lies between them.
std::optional<Tangent> fallOffFitTangent(std::span<const double> z, std::span<const double> p, const Background& b) {
    const std::size_t top = largestPoint(p);
    std::vector<std::size_t> used;
    for (std::size_t i = top + 1; i < p.size(); ++i) {
        if (p[i] > FALL_OFF_TOP) continue;
        used.push_back(i);
        if (p[i] < b.atMm(z[i]) + 1.0) break;  // the first point on the background closes the fall-off
    }
    const double r80 = levelDepthMm(z, p, 0.8), r50 = levelDepthMm(z, p, 0.5), r20 = levelDepthMm(z, p, 0.2);
    if (used.size() < 2 || !std::isfinite(r50)) return std::nullopt;
    double a = PERCENT - b.atMm(r50);
    double m = r50;
    double s = std::isfinite(r80) && std::isfinite(r20) && r20 > r80 ? (r20 - r80) / (2.0 * 0.8416) : 2.0;
    const bool freeAmplitude = used.size() >= 3;
    double lambda = 1e-3;
    const auto misfit = [&](double aa, double mm, double ss) {
        double sum = 0.0;
        for (std::size_t i : used) {
            const double r = b.atMm(z[i]) + aa * gaussianTail((z[i] - mm) / ss) - p[i];
            sum += r * r;
        }
        return sum;
    };
    double current = misfit(a, m, s);
    for (int iteration = 0; iteration < 200 && current > 1e-12; ++iteration) {
        double jtj[3][3] = {}, jtr[3] = {};
        for (std::size_t i : used) {
            const double u = (z[i] - m) / s;
            const double r = b.atMm(z[i]) + a * gaussianTail(u) - p[i];
            const double j[3] = {freeAmplitude ? gaussianTail(u) : 0.0, a * gaussianDensity(u) / s,
                                 a * gaussianDensity(u) * u / s};
            for (int r1 = 0; r1 < 3; ++r1) {
                for (int c1 = 0; c1 < 3; ++c1) jtj[r1][c1] += j[r1] * j[c1];
                jtr[r1] += j[r1] * r;
            }
        }
        if (!freeAmplitude) jtj[0][0] = 1.0;
        double step[3] = {};
        double mat[3][4];
        for (int r1 = 0; r1 < 3; ++r1) {
            for (int c1 = 0; c1 < 3; ++c1) mat[r1][c1] = jtj[r1][c1] + (r1 == c1 ? lambda * jtj[r1][r1] : 0.0);
            mat[r1][3] = -jtr[r1];
        }
        bool singular = false;
        for (int k = 0; k < 3 && !singular; ++k) {
            int pivot = k;
            for (int r1 = k + 1; r1 < 3; ++r1)
                if (std::fabs(mat[r1][k]) > std::fabs(mat[pivot][k])) pivot = r1;
            if (mat[pivot][k] == 0.0) singular = true;
            for (int c1 = 0; c1 < 4 && !singular; ++c1) std::swap(mat[k][c1], mat[pivot][c1]);
            for (int r1 = k + 1; r1 < 3 && !singular; ++r1) {
                const double factor = mat[r1][k] / mat[k][k];
                for (int c1 = k; c1 < 4; ++c1) mat[r1][c1] -= factor * mat[k][c1];
            }
        }
        if (singular) break;
        for (int r1 = 2; r1 >= 0; --r1) {
            double sum = mat[r1][3];
            for (int c1 = r1 + 1; c1 < 3; ++c1) sum -= mat[r1][c1] * step[c1];
            step[r1] = sum / mat[r1][r1];
        }
        const double trialS = s + step[2];
        const double trial = trialS > 0.0 ? misfit(a + step[0], m + step[1], trialS) : current + 1.0;
        if (trial < current) {
            a += step[0];
            m += step[1];
            s = trialS;
            const bool converged = current - trial < 1e-12 * (1.0 + current);
            current = trial;
            lambda *= 0.3;
            if (converged) break;
        } else {
            lambda *= 10.0;
            if (lambda > 1e12) break;
        }
    }
    if (!(s > 0.0) || !std::isfinite(m)) return std::nullopt;
    return Tangent{m, b.atMm(m) + 0.5 * a, b.slopePerMm - a * gaussianDensity(0.0) / s, true};
}

// Where the tangent meets a line of the given intercept and slope; NaN when it never does.
double meetingDepthMm(const Tangent& t, double intercept, double slope) {
    if (!(t.slopePerMm < slope)) return NOT_FOUND;
    return (intercept - t.percent + t.slopePerMm * t.depthMm) / (t.slopePerMm - slope);
}

// The background beyond Rp: a least-squares line through the tail points (a level for two, none
// without tail points).
Background tailBackground(std::span<const double> z, std::span<const double> p, const Tangent& t, double rpMm) {
    Background b;
    const double toeMm = (t.percent - 50.0) / t.slopePerMm + rpMm - t.depthMm;  // from the tangent's 50 % to Rp
    // A curve that stops soon after Rp gives its tail from nearer Rp.
    std::size_t first = z.size();
    for (const double margin : {TAIL_MARGIN_OF_TOE * toeMm, toeMm, TAIL_MARGIN_MM}) {
        const double from = rpMm + std::max(TAIL_MARGIN_MM, margin);
        first = static_cast<std::size_t>(std::lower_bound(z.begin(), z.end(), from) - z.begin());
        if (z.size() - first >= 2) break;
    }
    b.points = static_cast<int>(z.size() - first);
    if (b.points >= 3) {
        std::array<double, 4> c{};
        if (polynomialFit(z, p, first, z.size() - 1, 0.0, 1, c)) {
            b.interceptPercent = c[0];
            b.slopePerMm = c[1];
            return b;
        }
    }
    if (b.points >= 1) {
        for (std::size_t i = first; i < z.size(); ++i) b.interceptPercent += p[i];
        b.interceptPercent /= b.points;
    }
    return b;
}

std::string field(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A value as printed with two decimals, read back.
double asPrinted(double value) { return std::isfinite(value) ? std::strtod(field(value, 2).c_str(), nullptr) : value; }

}  // namespace

double meanEnergyMeV(double r50Mm) { return 2.33 * r50Mm / MM_PER_CM; }

double mostProbableEnergyMeV(double rpMm) {
    const double rpCm = rpMm / MM_PER_CM;
    return 0.22 + 1.98 * rpCm + 0.0025 * rpCm * rpCm;
}

double referenceDepthMm(double r50Mm) { return MM_PER_CM * (0.6 * r50Mm / MM_PER_CM - 0.1); }

BeamQuality beamQuality(std::span<const double> depthMm, std::span<const double> value) {
    BeamQuality q{};
    q.r100Mm = q.r90Mm = q.r80Mm = q.r50Mm = q.rpMm = q.rqMm = q.gradient = NOT_FOUND;
    q.surfaceDosePercent = q.backgroundPercent = NOT_FOUND;
    q.meanEnergyMeV = q.mostProbableEnergyMeV = q.referenceDepthMm = NOT_FOUND;
    if (value.size() < 2 || depthMm.size() != value.size()) return q;
    const double largest = *std::max_element(value.begin(), value.end());
    if (!(largest > 0.0)) return q;
    std::vector<double> p(value.size());
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = PERCENT * (value[i] / largest);
    const std::span<const double> z = depthMm;

    q.r100Mm = depthOfMaximumMm(z, p);
    q.r90Mm = levelDepthMm(z, value, 0.9);
    q.r80Mm = levelDepthMm(z, value, 0.8);
    q.r50Mm = levelDepthMm(z, value, 0.5);
    q.surfaceDosePercent = surfaceDosePercent(z, p);
    q.meanEnergyMeV = meanEnergyMeV(q.r50Mm);
    q.referenceDepthMm = referenceDepthMm(q.r50Mm);

    // Fine steps give the tangent from the points; coarse steps need the fitted fall-off.
    const double r90 = q.r90Mm, r10 = levelDepthMm(z, value, 0.1);
    const auto fallOffPoints = std::count_if(z.begin(), z.end(), [&](double d) { return d >= r90 && d <= r10; });
    const std::optional<Tangent> local = fallOffPoints >= FINE_FALL_OFF_POINTS ? localCubicTangent(z, p) : std::nullopt;
    Background background;
    std::optional<Tangent> tangent;
    for (int round = 0; round < BACKGROUND_ROUNDS; ++round) {
        tangent = local ? local : fallOffFitTangent(z, p, background);
        if (!tangent) return q;
        const double rp = meetingDepthMm(*tangent, background.interceptPercent, background.slopePerMm);
        if (!std::isfinite(rp)) return q;
        background = tailBackground(z, p, *tangent, rp);
    }
    q.tangent = *tangent;
    q.background = background;
    q.rpMm = meetingDepthMm(*tangent, background.interceptPercent, background.slopePerMm);
    q.rqMm = meetingDepthMm(*tangent, PERCENT, 0.0);
    q.gradient = q.rpMm / (q.rpMm - q.rqMm);
    q.backgroundPercent = background.points > 0 ? background.atMm(q.rpMm) : NOT_FOUND;
    q.mostProbableEnergyMeV = mostProbableEnergyMeV(q.rpMm);
    return q;
}

const QualityFigure QUALITY_FIGURES[12] = {
    // depths on the axis: the levels, then where the tangent at the steepest point meets the
    // background (Rp) and 100 % (Rq)
    {"R100", "mm", &BeamQuality::r100Mm},
    {"R90", "mm", &BeamQuality::r90Mm},
    {"R80", "mm", &BeamQuality::r80Mm},
    {"R50", "mm", &BeamQuality::r50Mm},
    {"Rp", "mm", &BeamQuality::rpMm},
    {"Rq", "mm", &BeamQuality::rqMm},
    // the dose gradient, the surface dose and the photon background at Rp
    {"G", "", &BeamQuality::gradient},
    {"Ds", "%", &BeamQuality::surfaceDosePercent},
    {"Dx", "%", &BeamQuality::backgroundPercent},
    // energies at the surface, from R50 and Rp, and the reference depth
    {"E0", "MeV", &BeamQuality::meanEnergyMeV},
    {"Ep0", "MeV", &BeamQuality::mostProbableEnergyMeV},
    {"zref", "mm", &BeamQuality::referenceDepthMm}};

std::string qualityFields(const BeamQuality& quality) {
    BeamQuality shown = quality;
    shown.meanEnergyMeV = meanEnergyMeV(asPrinted(quality.r50Mm));
    shown.mostProbableEnergyMeV = mostProbableEnergyMeV(asPrinted(quality.rpMm));
    shown.referenceDepthMm = referenceDepthMm(asPrinted(quality.r50Mm));
    std::string text;
    for (const QualityFigure& figure : QUALITY_FIGURES) {
        if (!text.empty()) text += ' ';
        text += std::string(figure.name) + "=" +
                field(shown.*figure.value, figure.value == &BeamQuality::gradient ? 3 : 2);
    }
    return text;
}

}  // namespace beamdata
