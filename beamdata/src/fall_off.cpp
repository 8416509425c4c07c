#include "beamdata/fall_off.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "beamdata/range_levels.h"

#include <interpolation.h>

namespace beamdata {
namespace {

constexpr double NOT_FOUND = std::numeric_limits<double>::quiet_NaN();
constexpr double PERCENT = 100.0;
constexpr double HALF = 50.0;
// With too few points for two widths, the deep one is taken as half the shallow one: the toe of a
// fall-off (range straggling) is shorter than its shoulder (energy spread, low-energy electrons);
// fits of finely scanned clinical-like beams of 6 to 20 MeV give 0.3 to 0.6.
constexpr double DEEP_OF_SHALLOW = 0.5;
// A fall-off is never a sheer cliff on one side: with only a point or two on the shoulder, a free
// fit would otherwise make it one.
constexpr double LEAST_DEEP_OF_SHALLOW = 0.2;
constexpr double MOST_DEEP_OF_SHALLOW = 2.0;
constexpr std::size_t POINTS_FOR_AMPLITUDE = 4;
constexpr std::size_t POINTS_FOR_TWO_WIDTHS = 4;
constexpr std::size_t POINTS_WITHOUT_SHOULDER = 5;
// The model is fitted to the points below this level beyond the maximum, down to the first point
// that lies on the background: the build-up peak above it is not part of the fall-off.
constexpr double FALL_OFF_TOP = 97.0;
constexpr double ON_BACKGROUND_PERCENT = 1.0;
// A stretch this long that falls by less than this below half the maximum is no longer fall-off.
constexpr double LEVEL_STRETCH_MM = 5.0;
constexpr double LEVEL_FALL_PERCENT = 1.0;
constexpr std::size_t MIN_POINTS = 3;
constexpr std::size_t MAX_FIT_POINTS = 400;
// The tail begins where the electrons' toe has died out: beyond Rp by 1.6 times the distance from
// the tangent's 50 % point to Rp (about two straggling widths), at least 2 mm.
constexpr double TAIL_MARGIN_OF_TOE = 1.6;
constexpr double TAIL_MARGIN_MM = 2.0;
constexpr int BACKGROUND_ROUNDS = 3;
// The bremsstrahlung tail falls by a few tenths of a per cent of itself per mm: over a short stretch
// of tail a fitted slope is the readings' noise, carried back to Rp, so a short tail gives a level.
constexpr double TAIL_FOR_SLOPE_MM = 30.0;
constexpr int MAX_ITERATIONS = 200;
// R80 - R20 of a Gaussian step is 2 x 0.8416 widths.
constexpr double WIDTHS_80_TO_20 = 2.0 * 0.8416;
constexpr double FIRST_WIDTH_MM = 2.0;
// The tangent belongs to the steep middle of the fall-off, between 80 and 20 %: there the points
// weigh fully. Towards the shoulder and the toe, where the model follows a real fall-off least well,
// their weight falls smoothly to half, so they shape the model without setting its tangent, and a
// point that noise lifts above the shoulder level or drops below it changes little.
struct LevelWeighting {
    double middleTopPercent, middleBottomPercent, edgeWeight;
};
constexpr LevelWeighting LEVEL_WEIGHTING{80.0, 20.0, 0.5};
// Beyond 2 mm between points the model is fitted to the fall-off filled in between them at 1 mm by
// a monotone cubic, so that the fit weighs the whole fall-off as a finely scanned one does rather
// than the few depths the scan happened to hit. Four points span a whole fall-off: a cubic through
// them is a guess of its shape, no better than the model's own, so they are fitted as they are.
struct FillIn {
    double aboveMm, stepMm;
    std::size_t leastPoints;
};
constexpr FillIn FILL_IN{2.0, 1.0, 5};

double sqrtTwo() { return std::numbers::sqrt2; }

// 1 between the middle levels, falling as cos^2 to the edge weight at 100 % and at 0 %.
double levelWeight(double percent) {
    const LevelWeighting& w = LEVEL_WEIGHTING;
    double beyond = 0.0;  // how far towards 100 % or 0 % beyond the middle, 0 to 1
    if (percent > w.middleTopPercent)
        beyond = (percent - w.middleTopPercent) / (PERCENT - w.middleTopPercent);
    else if (percent < w.middleBottomPercent)
        beyond = (w.middleBottomPercent - percent) / w.middleBottomPercent;
    const double middle = std::pow(std::cos(0.5 * std::numbers::pi * std::min(1.0, beyond)), 2);
    return w.edgeWeight + (1.0 - w.edgeWeight) * middle;
}

// Where the tangent meets a line of the given intercept and slope; NaN when it never does.
double meetingDepthMm(const Tangent& t, double intercept, double slope) {
    if (!(t.slopePerMm < slope)) return NOT_FOUND;
    return (intercept - t.percent + t.slopePerMm * t.depthMm) / (t.slopePerMm - slope);
}

// The background beyond Rp: a least-squares line through the tail points (a level for one or two,
// none without tail points).
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
    if (b.points >= 3 && z.back() - z[first] >= TAIL_FOR_SLOPE_MM) {
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

// Solves the n x n system m x = rhs (n <= 4) by elimination with partial pivoting.
bool solve(std::array<std::array<double, 5>, 4>& m, std::size_t n, std::array<double, 4>& x) {
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t pivot = k;
        for (std::size_t r = k + 1; r < n; ++r)
            if (std::fabs(m[r][k]) > std::fabs(m[pivot][k])) pivot = r;
        if (m[pivot][k] == 0.0) return false;
        std::swap(m[k], m[pivot]);
        for (std::size_t r = k + 1; r < n; ++r) {
            const double factor = m[r][k] / m[k][k];
            for (std::size_t c = k; c <= 4; ++c) m[r][c] -= factor * m[k][c];
        }
    }
    x = {};
    for (std::size_t r = n; r-- > 0;) {
        double sum = m[r][4];
        for (std::size_t c = r + 1; c < n; ++c) sum -= m[r][c] * x[c];
        x[r] = sum / m[r][r];
    }
    return std::all_of(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n),
                       [](double v) { return std::isfinite(v); });
}

// The model's parameters as one vector: amplitude, centre, shallow and deep width.
using Parameters = std::array<double, 4>;
FallOffModel modelOf(const Parameters& x) { return {x[0], x[1], x[2], x[3]}; }

// The shape of a broad clinical electron beam's fall-off changes smoothly with its energy. Lines
// against R50 of the model's shallow width, deep-to-shallow ratio and plateau (amplitude plus
// background at the centre), fitted to 52 beams of 5 to 22 MeV that are not the test set (spreads of
// 3 to 6 %, low-energy tails of 5 to 14 %, fields of 10 to 25 cm, scanned at 0.5 mm without noise;
// `fit-falloff-steps --derive`). A few points on a fall-off do not fix its shape; these lines do,
// weakly, and give way as points are added.
struct ShapeLine {
    double intercept, perMmOfR50;
    double at(double r50Mm) const { return intercept + perMmOfR50 * r50Mm; }
};
constexpr ShapeLine SHALLOW_WIDTH_MM{2.23466, 0.197532};
constexpr ShapeLine DEEP_OF_SHALLOW_LINE{0.40500, 0.001956};
constexpr ShapeLine PLATEAU_PERCENT{113.56733, -0.194722};
// The three depart from their lines together (a wider energy spread shortens the shoulder, lengthens
// the toe and lowers the plateau: scatter 0.92 mm, 0.073 and 2.4 %, correlations -0.72, 0.49 and
// -0.69): this matrix, the inverse of the Cholesky factor of their covariance, makes the departures
// independent and of unit scatter, so the points can move the shape the way beams differ.
constexpr std::size_t PRIOR_TERMS = 3;
constexpr double SHAPE_WHITENING[PRIOR_TERMS][PRIOR_TERMS] = {
    {1.08145, 0.0, 0.0}, {1.13161, 19.8598, 0.0}, {0.0444213, 13.5828, 0.582329}};
// A shape one scatter off its lines weighs as much as a point this far off the model at three
// points of the middle (it weighs with the points' mean weight); the weight falls to nothing at
// PRIOR_FADE_POINTS points on the fall-off, so finely scanned fall-offs are their own. A heavier
// weight pulls a fall-off of another shape (sharper or more skewed than a clinical beam's) towards
// the clinical one by more than the step does.
constexpr double PRIOR_PERCENT = 0.75;
constexpr std::size_t PRIOR_FADE_POINTS = 10;

// The points the model is fitted to and their weights, with the background it sits on and the
// shape expected of a beam of their R50; `measured`: the readings they stand for (fewer than the
// points where the fall-off was filled in between readings).
struct Points {
    std::vector<double> z, p, weight;
    const Background* background;
    double r50Mm = NOT_FOUND;
    std::size_t measured = 0;
    double priorWeight() const {
        if (!std::isfinite(r50Mm) || measured >= PRIOR_FADE_POINTS) return 0.0;
        double sum = 0.0;
        for (const double w : weight) sum += w * w;
        return PRIOR_PERCENT * std::sqrt(sum / static_cast<double>(weight.size())) *
               static_cast<double>(PRIOR_FADE_POINTS - measured) / static_cast<double>(PRIOR_FADE_POINTS - MIN_POINTS);
    }
    std::size_t residualCount() const { return z.size() + (priorWeight() > 0.0 ? PRIOR_TERMS : 0); }
    void residuals(const Parameters& x, std::vector<double>& r) const {
        const FallOffModel m = modelOf(x);
        r.resize(residualCount());
        for (std::size_t k = 0; k < z.size(); ++k)
            r[k] = weight[k] * (background->atMm(z[k]) + m.amplitudePercent * m.stepAt(z[k]) - p[k]);
        if (r.size() == z.size()) return;
        const double w = priorWeight();
        const double d[PRIOR_TERMS] = {x[2] - SHALLOW_WIDTH_MM.at(r50Mm), x[3] / x[2] - DEEP_OF_SHALLOW_LINE.at(r50Mm),
                                       x[0] + background->atMm(x[1]) - PLATEAU_PERCENT.at(r50Mm)};
        for (std::size_t a = 0; a < PRIOR_TERMS; ++a) {
            double sum = 0.0;
            for (std::size_t b = 0; b <= a; ++b) sum += SHAPE_WHITENING[a][b] * d[b];
            r[z.size() + a] = w * sum;
        }
    }
    double misfit(const Parameters& x) const {
        std::vector<double> r;
        residuals(x, r);
        double sum = 0.0;
        for (const double v : r) sum += v * v;
        return sum;
    }
};

// Damped Gauss-Newton (Levenberg-Marquardt) on the free parameters, numerical derivatives. With
// only three points the amplitude fills the gap above the background up to 100 % and the deep width
// is tied to the shallow one.
bool fitModel(const Points& points, Parameters& x) {
    const std::size_t count = points.measured;
    const bool freeAmplitude = count >= POINTS_FOR_AMPLITUDE;
    const bool twoWidths = count >= POINTS_FOR_TWO_WIDTHS;  // centre and widths first, the tied ones last
    const auto tie = [&](Parameters& v) {
        if (!twoWidths) v[3] = DEEP_OF_SHALLOW * v[2];
        if (!freeAmplitude) v[0] = PERCENT - points.background->atMm(v[1]);
    };
    tie(x);
    const std::size_t order[4] = {1, 2, 3, 0};
    const std::size_t n = 2 + (twoWidths ? 1 : 0) + (freeAmplitude ? 1 : 0);
    std::size_t free[4];
    for (std::size_t k = 0, j = 0; k < 4; ++k) {
        if (order[k] == 3 && !twoWidths) continue;
        if (order[k] == 0 && !freeAmplitude) continue;
        free[j++] = order[k];
    }
    const std::size_t rows = points.residualCount();
    double lambda = 1e-3;
    double current = points.misfit(x);
    std::vector<double> residual, up, down;
    std::vector<std::array<double, 4>> jacobian(rows);
    for (int iteration = 0; iteration < MAX_ITERATIONS && current > 1e-12; ++iteration) {
        // Residuals and their derivatives by central differences.
        points.residuals(x, residual);
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t a = free[j];
            const double h = 1e-6 * std::max(1.0, std::fabs(x[a]));
            Parameters xUp = x, xDown = x;
            xUp[a] += h;
            xDown[a] -= h;
            tie(xUp);
            tie(xDown);
            points.residuals(xUp, up);
            points.residuals(xDown, down);
            for (std::size_t k = 0; k < rows; ++k) jacobian[k][j] = (up[k] - down[k]) / (2.0 * h);
        }
        std::array<std::array<double, 5>, 4> m{};
        for (std::size_t k = 0; k < rows; ++k)
            for (std::size_t r = 0; r < n; ++r) {
                for (std::size_t c = 0; c < n; ++c) m[r][c] += jacobian[k][r] * jacobian[k][c];
                m[r][4] -= jacobian[k][r] * residual[k];
            }
        for (std::size_t r = 0; r < n; ++r) m[r][r] *= 1.0 + lambda;
        std::array<double, 4> step{};
        if (!solve(m, n, step)) {
            lambda *= 10.0;
            if (lambda > 1e12) break;
            continue;
        }
        Parameters trial = x;
        for (std::size_t j = 0; j < n; ++j) trial[free[j]] += step[j];
        tie(trial);
        const double ratio = trial[3] / trial[2];
        const bool sound = trial[2] > 0.0 && trial[0] > 0.0 && ratio >= LEAST_DEEP_OF_SHALLOW &&
                           ratio <= MOST_DEEP_OF_SHALLOW;
        const double misfit = sound ? points.misfit(trial) : current + 1.0;
        if (misfit < current) {
            const bool converged = current - misfit < 1e-12 * (1.0 + current);
            x = trial;
            current = misfit;
            lambda *= 0.3;
            if (converged) break;
        } else {
            lambda *= 10.0;
            if (lambda > 1e12) break;
        }
    }
    return x[0] > 0.0 && x[2] > 0.0 && x[3] > 0.0 && std::isfinite(x[1]);
}

// The points of the fall-off: beyond the maximum, from the first below the shoulder level to the
// first that lies on the background. Noise about the shoulder level does not cut the fall-off short:
// it begins after the last point above that level before the curve falls through half its maximum.
std::vector<std::size_t> fallOffPoints(std::span<const double> z, std::span<const double> p, const Background& b) {
    const auto top = static_cast<std::size_t>(std::max_element(p.begin(), p.end()) - p.begin());
    std::size_t first = top + 1;
    for (std::size_t i = top + 1; i < p.size() && p[i] >= HALF; ++i)
        if (p[i] > FALL_OFF_TOP) first = i + 1;
    std::vector<std::size_t> used;
    std::size_t behind = 0;  // in `used`: the last point at least LEVEL_STRETCH_MM before the current one
    for (std::size_t i = first; i < p.size(); ++i) {
        if (p[i] > FALL_OFF_TOP) break;  // a second rise ends the fall-off
        used.push_back(i);
        if (p[i] < b.atMm(z[i]) + ON_BACKGROUND_PERCENT) break;
        // So does a level stretch below half the maximum: the electrons of a second, deeper group, or
        // a tail before the background line is known. It ends where it begins.
        while (behind + 1 < used.size() && z[i] - z[used[behind + 1]] >= LEVEL_STRETCH_MM) ++behind;
        if (p[i] < HALF && z[i] - z[used[behind]] >= LEVEL_STRETCH_MM && p[used[behind]] - p[i] < LEVEL_FALL_PERCENT) {
            used.resize(behind + 1);
            break;
        }
    }
    // Coarse steps leave few points on the fall-off: the last one on the shoulder joins them.
    if (used.size() < POINTS_WITHOUT_SHOULDER && first > top + 1) used.insert(used.begin(), first - 1);
    return used;
}

// The fall-off filled in between readings more than 2 mm apart by a monotone cubic through them
// (ALGLIB's: it never overshoots between readings), at 1 mm or, on a very long fall-off, at as many
// points as a fine one is fitted to. False, and nothing added, where the cubic cannot be built.
bool fillIn(std::span<const double> z, std::span<const double> p, const std::vector<std::size_t>& used,
            double spacingMm, Points& points) {
    // The readings of the fall-off and one on each side of it, for the slopes at its ends.
    const std::size_t from = used.front() > 0 ? used.front() - 1 : 0, to = std::min(used.back() + 1, z.size() - 1);
    alglib::spline1dinterpolant spline;
    try {
        alglib::real_1d_array knotZ, knotP;
        knotZ.setcontent(static_cast<alglib::ae_int_t>(to - from + 1), z.data() + from);
        knotP.setcontent(static_cast<alglib::ae_int_t>(to - from + 1), p.data() + from);
        alglib::spline1dbuildmonotone(knotZ, knotP, spline);
    } catch (const alglib::ap_error&) {
        return false;  // depths not increasing or readings not finite: fitted as they are
    }
    const double spanMm = z[used.back()] - z[used.front()];
    const double stepMm = std::max(FILL_IN.stepMm, spanMm / static_cast<double>(MAX_FIT_POINTS));
    // Each filled-in point stands for its share of the fall-off: together they weigh as the
    // readings do.
    const double share = std::sqrt(stepMm / spacingMm);
    for (double at = z[used.front()]; at <= z[used.back()] + 1e-9; at += stepMm) {
        points.z.push_back(at);
        points.p.push_back(alglib::spline1dcalc(spline, at));
        points.weight.push_back(share * levelWeight(points.p.back()));
    }
    return true;
}

// The model fitted with the given background, started from `start` (or from the points).
std::optional<FallOff> fitWithBackground(std::span<const double> z, std::span<const double> p, const Background& b,
                                         const Parameters* start) {
    const std::vector<std::size_t> used = fallOffPoints(z, p, b);
    if (used.size() < MIN_POINTS) return std::nullopt;
    Points points{{}, {}, {}, &b, levelDepthMm(z, p, 0.5), used.size()};
    const double spacingMm = (z[used.back()] - z[used.front()]) / static_cast<double>(used.size() - 1);
    // A scan that stops on the fall-off (at R10, say) has no reading beyond its last one to bend the
    // cubic's end towards the toe: its readings are fitted as they are.
    const bool endsOnIt = used.back() + 1 == z.size();
    if (!(spacingMm > FILL_IN.aboveMm && used.size() >= FILL_IN.leastPoints && !endsOnIt &&
          fillIn(z, p, used, spacingMm, points))) {
        // A fall-off of very many points is fitted to the means of consecutive groups of them: the
        // same curve, with the work bounded however finely it was scanned.
        const std::size_t groups = std::min(used.size(), MAX_FIT_POINTS);
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t from = g * used.size() / groups, to = (g + 1) * used.size() / groups;
            double sumZ = 0.0, sumP = 0.0;
            for (std::size_t k = from; k < to; ++k) sumZ += z[used[k]], sumP += p[used[k]];
            points.z.push_back(sumZ / static_cast<double>(to - from));
            points.p.push_back(sumP / static_cast<double>(to - from));
            points.weight.push_back(levelWeight(points.p.back()));
        }
    }
    Parameters x{};
    if (start) {
        x = *start;
    } else {
        const double r80 = levelDepthMm(z, p, 0.8), r50 = levelDepthMm(z, p, 0.5), r20 = levelDepthMm(z, p, 0.2);
        x[1] = std::isfinite(r50) ? r50 : z[used[used.size() / 2]];
        x[0] = PERCENT - b.atMm(x[1]);
        x[3] = x[2] = std::isfinite(r80) && std::isfinite(r20) && r20 > r80 ? (r20 - r80) / WIDTHS_80_TO_20
                                                                            : FIRST_WIDTH_MM;
    }
    if (!fitModel(points, x)) return std::nullopt;
    FallOff f;
    f.model = modelOf(x);
    f.background = b;
    f.firstMm = z[used.front()];
    f.lastMm = z[used.back()];
    const FallOffModel& m = f.model;
    const double widths = m.shallowWidthMm + m.deepWidthMm;
    f.tangent.depthMm = m.centreMm;
    f.tangent.percent = b.atMm(m.centreMm) + m.amplitudePercent * m.deepWidthMm / widths;
    f.tangent.slopePerMm = b.slopePerMm - m.amplitudePercent * std::sqrt(2.0 / std::numbers::pi) / widths;
    f.rpMm = meetingDepthMm(f.tangent, b.interceptPercent, b.slopePerMm);
    f.rqMm = meetingDepthMm(f.tangent, PERCENT, 0.0);
    if (!std::isfinite(f.rpMm)) return std::nullopt;
    return f;
}

}  // namespace

double FallOffModel::stepAt(double depthMm) const {
    const double widths = shallowWidthMm + deepWidthMm;
    const double u = depthMm - centreMm;
    if (u < 0.0) return 1.0 - shallowWidthMm / widths * std::erfc(-u / (sqrtTwo() * shallowWidthMm));
    return deepWidthMm / widths * std::erfc(u / (sqrtTwo() * deepWidthMm));
}

double FallOff::backgroundAtRpPercent() const { return background.points > 0 ? background.atMm(rpMm) : NOT_FOUND; }

std::optional<FallOff> fallOff(std::span<const double> z, std::span<const double> p) {
    if (z.size() != p.size() || z.size() < MIN_POINTS) return std::nullopt;
    Background background;
    std::optional<FallOff> f;
    for (int round = 0; round <= BACKGROUND_ROUNDS; ++round) {
        Parameters previous{};
        if (f) previous = {f->model.amplitudePercent, f->model.centreMm, f->model.shallowWidthMm, f->model.deepWidthMm};
        f = fitWithBackground(z, p, background, f ? &previous : nullptr);
        if (!f) return std::nullopt;
        if (round == BACKGROUND_ROUNDS) break;
        background = tailBackground(z, p, f->tangent, f->rpMm);
    }
    return f;
}

std::optional<FallOff> fallOffOfCurve(std::span<const double> depthMm, std::span<const double> value) {
    if (value.empty() || depthMm.size() != value.size()) return std::nullopt;
    const double largest = *std::max_element(value.begin(), value.end());
    if (!(largest > 0.0)) return std::nullopt;
    std::vector<double> p(value.size());
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = PERCENT * (value[i] / largest);
    return fallOff(depthMm, p);
}

bool polynomialFit(std::span<const double> z, std::span<const double> p, std::size_t first, std::size_t last,
                   double centre, int degree, std::array<double, 4>& coefficient) {
    const auto n = static_cast<std::size_t>(degree + 1);
    std::array<std::array<double, 5>, 4> m{};
    for (std::size_t i = first; i <= last; ++i) {
        const double u = z[i] - centre;
        const double powers[4] = {1.0, u, u * u, u * u * u};
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t c = 0; c < n; ++c) m[r][c] += powers[r] * powers[c];
            m[r][4] += powers[r] * p[i];
        }
    }
    return solve(m, n, coefficient) && std::isfinite(coefficient[0]) && std::isfinite(coefficient[1]);
}

}  // namespace beamdata
