#include "fit/penalised_nnls.h"

#include "engine/run_error.h"

#include <optimization.h>
#include <solvers.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>

namespace fit {

namespace {

constexpr double SOLVER_TOLERANCE = 1e-12;
constexpr double ACTIVE_FRACTION = 1e-7;  // unknowns below this fraction of the largest count as zero
constexpr int GOLDEN_STEPS = 12;
constexpr double QUICK_QP_STEP_TOLERANCE = 1e-10;

// Solves H_FF z = b_F on the unknowns in `free`; false when H_FF is not positive definite.
bool solveOnSet(const std::vector<double>& h, std::size_t n, const std::vector<std::size_t>& free,
                std::vector<double> rightSides, std::size_t sideCount, std::vector<double>& solution) {
    const auto k = free.size();
    alglib::real_2d_array a;
    a.setlength(static_cast<alglib::ae_int_t>(k), static_cast<alglib::ae_int_t>(k));
    for (std::size_t r = 0; r < k; ++r)
        for (std::size_t c = 0; c < k; ++c)
            a(static_cast<alglib::ae_int_t>(r), static_cast<alglib::ae_int_t>(c)) = h[free[r] * n + free[c]];
    alglib::real_2d_array b;
    b.setlength(static_cast<alglib::ae_int_t>(k), static_cast<alglib::ae_int_t>(sideCount));
    for (std::size_t r = 0; r < k; ++r)
        for (std::size_t c = 0; c < sideCount; ++c)
            b(static_cast<alglib::ae_int_t>(r), static_cast<alglib::ae_int_t>(c)) = rightSides[r * sideCount + c];
    alglib::ae_int_t info = 0;
    alglib::spdmatrixsolvemfast(a, static_cast<alglib::ae_int_t>(k), true, b, static_cast<alglib::ae_int_t>(sideCount),
                                info);
    if (info <= 0) return false;
    solution.assign(k * sideCount, 0.0);
    for (std::size_t r = 0; r < k; ++r)
        for (std::size_t c = 0; c < sideCount; ++c)
            solution[r * sideCount + c] = b(static_cast<alglib::ae_int_t>(r), static_cast<alglib::ae_int_t>(c));
    return true;
}

// log det of the symmetric positive definite matrix of `free` rows and columns of `m`; empty when
// it is not positive definite.
std::optional<double> logDeterminant(const std::vector<double>& m, std::size_t n,
                                     const std::vector<std::size_t>& free) {
    const auto k = static_cast<alglib::ae_int_t>(free.size());
    if (k == 0) return 0.0;
    alglib::real_2d_array a;
    a.setlength(k, k);
    for (std::size_t r = 0; r < free.size(); ++r)
        for (std::size_t c = 0; c < free.size(); ++c)
            a(static_cast<alglib::ae_int_t>(r), static_cast<alglib::ae_int_t>(c)) = m[free[r] * n + free[c]];
    if (!alglib::spdmatrixcholesky(a, k, true)) return std::nullopt;
    double sum = 0.0;
    for (alglib::ae_int_t i = 0; i < k; ++i) sum += 2.0 * std::log(a(i, i));
    return sum;
}

// The quadratic, linear and box terms of min x'Hx/2 - b'x within [lower, upper] in a new ALGLIB state.
void setBoxQp(alglib::minqpstate& state, const std::vector<double>& h, const std::vector<double>& b,
              const std::vector<double>& lower, const std::vector<double>& upper) {
    const auto n = static_cast<alglib::ae_int_t>(b.size());
    alglib::real_2d_array quadratic;
    quadratic.setcontent(n, n, h.data());
    alglib::real_1d_array linear;
    linear.setlength(n);
    for (alglib::ae_int_t r = 0; r < n; ++r) linear(r) = -b[static_cast<std::size_t>(r)];
    alglib::real_1d_array lo;
    alglib::real_1d_array hi;
    lo.setcontent(n, lower.data());
    hi.setcontent(n, upper.data());
    alglib::minqpcreate(n, state);
    alglib::minqpsetquadraticterm(state, quadratic, true);
    alglib::minqpsetlinearterm(state, linear);
    alglib::minqpsetbc(state, lo, hi);
}

}  // namespace

PenalisedNnls::PenalisedNnls(std::vector<double> design, std::vector<double> data, std::size_t columns,
                             std::size_t smoothColumns)
    : design_(std::move(design)), data_(std::move(data)), columns_(columns), smoothColumns_(smoothColumns) {
    if (columns_ == 0 || smoothColumns_ > columns_ || design_.size() != data_.size() * columns_)
        throw std::invalid_argument("A penalised least-squares problem needs rows of `columns` values.");
    const std::size_t n = columns_;
    normal_.assign(n * n, 0.0);
    projected_.assign(n, 0.0);
    for (std::size_t i = 0; i < data_.size(); ++i) {
        const double* row = &design_[i * n];
        for (std::size_t r = 0; r < n; ++r) {
            projected_[r] += row[r] * data_[i];
            for (std::size_t c = 0; c < n; ++c) normal_[r * n + c] += row[r] * row[c];
        }
    }
    // D'D of the second differences x[j-1] - 2 x[j] + x[j+1], j = 1..smoothColumns-2.
    lower_.assign(n, 0.0);
    upper_.assign(n, std::numeric_limits<double>::infinity());
    penalty_.assign(n * n, 0.0);
    const double stencil[3] = {1.0, -2.0, 1.0};
    for (std::size_t j = 1; j + 1 < smoothColumns_; ++j)
        for (std::size_t a = 0; a < 3; ++a)
            for (std::size_t b = 0; b < 3; ++b) penalty_[(j - 1 + a) * n + (j - 1 + b)] += stencil[a] * stencil[b];
}

void PenalisedNnls::setBounds(std::vector<double> lower, std::vector<double> upper) {
    if (lower.size() != columns_ || upper.size() != columns_)
        throw std::invalid_argument("Bounds need one value per unknown.");
    for (std::size_t j = 0; j < columns_; ++j)
        if (!(lower[j] >= 0.0 && upper[j] >= lower[j]))
            throw std::invalid_argument("Bounds must satisfy 0 <= lower <= upper.");
    lower_ = std::move(lower);
    upper_ = std::move(upper);
}

void PenalisedNnls::setLinearConstraints(std::vector<double> rows, std::vector<double> lower,
                                         std::vector<double> upper) {
    if (lower.size() != upper.size() || rows.size() != lower.size() * columns_)
        throw std::invalid_argument("Linear constraints need one row of `columns` values per pair of bounds.");
    constraintRows_ = std::move(rows);
    constraintLower_ = std::move(lower);
    constraintUpper_ = std::move(upper);
}

// The unknowns strictly inside their bounds.
std::vector<std::size_t> PenalisedNnls::freeSet(const std::vector<double>& x) const {
    const double tolerance = ACTIVE_FRACTION * *std::max_element(x.begin(), x.end());
    std::vector<std::size_t> free;
    for (std::size_t j = 0; j < x.size(); ++j)
        if (x[j] > lower_[j] + tolerance && x[j] < upper_[j] - tolerance) free.push_back(j);
    return free;
}

bool PenalisedNnls::withinBounds(const std::vector<double>& values, const std::vector<std::size_t>& which) const {
    for (std::size_t k = 0; k < which.size(); ++k)
        if (!(values[k] >= lower_[which[k]] && values[k] <= upper_[which[k]])) return false;
    return true;
}

// ALGLIB's dense interior-point solver on min x'Hx/2 - (A'y)'x within the bounds and constraints.
std::vector<double> PenalisedNnls::interiorPoint(const std::vector<double>& h) const {
    const std::size_t n = columns_;
    const auto an = static_cast<alglib::ae_int_t>(n);
    alglib::real_1d_array x;
    alglib::minqpreport report;
    try {
        alglib::minqpstate state;
        setBoxQp(state, h, projected_, lower_, upper_);
        if (!constraintLower_.empty()) {
            const auto k = static_cast<alglib::ae_int_t>(constraintLower_.size());
            alglib::real_2d_array c;
            c.setcontent(k, an, constraintRows_.data());
            alglib::real_1d_array cl;
            alglib::real_1d_array cu;
            cl.setcontent(k, constraintLower_.data());
            cu.setcontent(k, constraintUpper_.data());
            alglib::minqpsetlc2dense(state, c, cl, cu, k);
        }
        alglib::minqpsetscaleautodiag(state);
        alglib::minqpsetalgodenseipm(state, SOLVER_TOLERANCE);
        alglib::minqpoptimize(state);
        alglib::minqpresults(state, x, report);
    } catch (const alglib::ap_error& e) {
        throw engine::RunError("The spectrum solver failed: " + e.msg);
    }
    if (report.terminationtype <= 0)
        throw engine::RunError("The spectrum solver found no solution (code " +
                               std::to_string(static_cast<long>(report.terminationtype)) + ")");
    std::vector<double> solution(n);
    for (std::size_t j = 0; j < n; ++j) solution[j] = std::max(0.0, x(static_cast<alglib::ae_int_t>(j)));
    return solution;
}

// The interior-point answer leaves the zero unknowns a little above zero: solve exactly on the
// unknowns it keeps, unknowns on a bound set to it, and use that when it stays within the bounds.
// (Not with general constraints, which the exact solve would not keep.)
void PenalisedNnls::polish(const std::vector<double>& h, std::vector<double>& x) const {
    if (!constraintLower_.empty()) return;
    const std::size_t n = columns_;
    const std::vector<std::size_t> free = freeSet(x);
    std::vector<double> held = x;
    for (std::size_t j = 0; j < n; ++j)
        held[j] = std::find(free.begin(), free.end(), j) != free.end()
                      ? 0.0
                      : (x[j] - lower_[j] < upper_[j] - x[j] ? lower_[j] : upper_[j]);
    std::vector<double> rightSide;
    for (std::size_t r : free) {
        double side = projected_[r];
        for (std::size_t c = 0; c < n; ++c) side -= h[r * n + c] * held[c];
        rightSide.push_back(side);
    }
    std::vector<double> exact;
    if (!free.empty() && solveOnSet(h, n, free, rightSide, 1, exact) && withinBounds(exact, free)) {
        x = held;
        for (std::size_t k = 0; k < free.size(); ++k) x[free[k]] = exact[k];
    }
}

double PenalisedNnls::penaltyOf(const std::vector<double>& x) const {
    const std::size_t n = columns_;
    double sum = 0.0;
    for (std::size_t r = 0; r < smoothColumns_; ++r)
        for (std::size_t c = 0; c < smoothColumns_; ++c) sum += x[r] * penalty_[r * n + c] * x[c];
    return sum;
}

// The evidence of the Gaussian model that the solution's free unknowns describe: the data's noise
// N(0, sigma^2), the prior N(0, sigma^2/s (D'D)^-1) on the free weights, the unknowns held on their
// bounds fixed there. With sigma^2 at its most likely value Q/n (Q = RSS + s |Dx|^2), up to a constant:
//   log E = k/2 log s + 1/2 log det P_FF - 1/2 log det (A'A + s P)_FF - n/2 log Q
// with k the penalised free unknowns. Minus infinity where it cannot be evaluated.
double PenalisedNnls::logEvidence(const std::vector<double>& x, double smooth, double misfit) const {
    constexpr double NONE = -std::numeric_limits<double>::infinity();
    if (!(smooth > 0.0) || !(misfit > 0.0)) return NONE;
    const std::size_t n = columns_;
    const std::vector<std::size_t> free = freeSet(x);
    std::vector<std::size_t> penalised;
    for (std::size_t j : free)
        if (j < smoothColumns_) penalised.push_back(j);
    std::vector<double> h(n * n);
    for (std::size_t k = 0; k < h.size(); ++k) h[k] = normal_[k] + smooth * penalty_[k];
    const auto logDetPrior = logDeterminant(penalty_, n, penalised);
    const auto logDetPosterior = logDeterminant(h, n, free);
    if (!logDetPrior || !logDetPosterior) return NONE;
    const double rows = static_cast<double>(data_.size());
    return 0.5 * static_cast<double>(penalised.size()) * std::log(smooth) + 0.5 * *logDetPrior -
           0.5 * *logDetPosterior - 0.5 * rows * std::log(misfit);
}

PenalisedNnls::Solution PenalisedNnls::solve(double smooth) const {
    const std::size_t n = columns_;
    std::vector<double> h(n * n);
    for (std::size_t k = 0; k < h.size(); ++k) h[k] = normal_[k] + smooth * penalty_[k];
    Solution s;
    s.smooth = smooth;
    s.x = interiorPoint(h);
    polish(h, s.x);
    for (std::size_t i = 0; i < data_.size(); ++i) {
        double model = 0.0;
        for (std::size_t j = 0; j < n; ++j) model += design_[i * n + j] * s.x[j];
        s.residualSumOfSquares += (model - data_[i]) * (model - data_[i]);
    }
    s.effectiveParameters = effectiveParameters(s.x, smooth);
    s.penaltyValue = penaltyOf(s.x);
    s.noiseVariance = (s.residualSumOfSquares + smooth * s.penaltyValue) / static_cast<double>(data_.size());
    s.logEvidence = logEvidence(s.x, smooth, s.residualSumOfSquares + smooth * s.penaltyValue);
    const double rowsLeft = static_cast<double>(data_.size()) - s.effectiveParameters;
    s.residualNoiseVariance = s.residualSumOfSquares / std::max(rowsLeft, 1.0);
    s.gcv = rowsLeft > 0.0 ? static_cast<double>(data_.size()) * s.residualSumOfSquares / (rowsLeft * rowsLeft)
                           : std::numeric_limits<double>::infinity();
    return s;
}

double PenalisedNnls::effectiveParameters(const std::vector<double>& x, double smooth) const {
    const std::vector<std::size_t> free = freeSet(x);
    if (free.empty()) return 0.0;
    const std::size_t n = columns_;
    std::vector<double> h(n * n);
    for (std::size_t k = 0; k < h.size(); ++k) h[k] = normal_[k] + smooth * penalty_[k];
    std::vector<double> sides;
    for (std::size_t r : free)
        for (std::size_t c : free) sides.push_back(normal_[r * n + c]);
    std::vector<double> product;
    if (!solveOnSet(h, n, free, sides, free.size(), product)) return static_cast<double>(free.size());
    double trace = 0.0;
    for (std::size_t k = 0; k < free.size(); ++k) trace += product[k * free.size() + k];
    return trace;
}

// The strength of least `score` (lower is better): a scan in equal steps of log s, then a
// golden-section search between the neighbours of the best point. `scan` keeps the scanned solutions.
PenalisedNnls::Solution PenalisedNnls::leastScore(double smoothLo, double smoothHi, int scanPoints,
                                                  const std::function<double(const Solution&)>& score,
                                                  std::vector<Solution>& scan, std::size_t& best) const {
    const double lo = std::log(smoothLo);
    const double step = (std::log(smoothHi) - lo) / (scanPoints - 1);
    scan.clear();
    best = 0;
    std::vector<double> scores;
    for (int k = 0; k < scanPoints; ++k) {
        scan.push_back(solve(std::exp(lo + step * k)));
        scores.push_back(score(scan.back()));
        if (scores.back() < scores[best]) best = scan.size() - 1;
    }
    // Between the neighbours of the best point, within the scanned range.
    double a = lo + step * std::max(static_cast<double>(best) - 1.0, 0.0);
    double b = lo + step * std::min(static_cast<double>(best) + 1.0, static_cast<double>(scanPoints - 1));
    const double ratio = 0.5 * (std::sqrt(5.0) - 1.0);
    Solution bestSolution = scan[best];
    double bestScore = scores[best];
    double c = b - ratio * (b - a);
    double d = a + ratio * (b - a);
    Solution sc = solve(std::exp(c));
    Solution sd = solve(std::exp(d));
    double scoreC = score(sc);
    double scoreD = score(sd);
    for (int k = 0; k < GOLDEN_STEPS; ++k) {
        if (scoreC < scoreD) {
            b = d;
            d = c;
            sd = sc;
            scoreD = scoreC;
            c = b - ratio * (b - a);
            sc = solve(std::exp(c));
            scoreC = score(sc);
        } else {
            a = c;
            c = d;
            sc = sd;
            scoreC = scoreD;
            d = a + ratio * (b - a);
            sd = solve(std::exp(d));
            scoreD = score(sd);
        }
    }
    if (scoreC < bestScore) {
        bestSolution = sc;
        bestScore = scoreC;
    }
    if (scoreD < bestScore) bestSolution = sd;
    return bestSolution;
}

PenalisedNnls::Solution PenalisedNnls::solveByEvidence(double smoothLo, double smoothHi, int scanPoints) const {
    std::vector<Solution> scan;
    std::size_t best = 0;
    return leastScore(
        smoothLo, smoothHi, scanPoints, [](const Solution& s) { return -s.logEvidence; }, scan, best);
}

PenalisedNnls::Solution PenalisedNnls::solveWithChosenSmooth(double smoothLo, double smoothHi, bool discrepancy,
                                                             int scanPoints) const {
    std::vector<Solution> scan;
    std::size_t best = 0;
    Solution bestSolution = leastScore(
        smoothLo, smoothHi, scanPoints, [](const Solution& s) { return s.gcv; }, scan, best);
    const double lo = std::log(smoothLo);
    const double step = (std::log(smoothHi) - lo) / (scanPoints - 1);
    if (!discrepancy) return bestSolution;

    // The discrepancy principle with the noise that cross-validation estimates,
    // sigma^2 = RSS / (n - T): the strongest smoothing whose residual stays at n sigma^2.
    const double rows = static_cast<double>(data_.size());
    const double allowed = rows * bestSolution.residualSumOfSquares /
                           std::max(rows - bestSolution.effectiveParameters, 1.0);
    double inside = std::log(bestSolution.smooth);  // residual within the allowance
    double outside = inside;
    for (std::size_t k = best + 1; k < scan.size(); ++k) {
        outside = lo + step * static_cast<double>(k);
        if (scan[k].residualSumOfSquares > allowed) break;
        inside = outside;
        bestSolution = scan[k];
    }
    if (outside == inside) return bestSolution;  // every stronger scanned smoothing stays within
    for (int k = 0; k < GOLDEN_STEPS; ++k) {
        const double middle = 0.5 * (inside + outside);
        Solution trial = solve(std::exp(middle));
        if (trial.residualSumOfSquares <= allowed) {
            inside = middle;
            bestSolution = std::move(trial);
        } else {
            outside = middle;
        }
    }
    return bestSolution;
}

std::optional<std::vector<double>> boxQuadraticProgramme(const std::vector<double>& h, const std::vector<double>& b,
                                                         const std::vector<double>& lower,
                                                         const std::vector<double>& upper,
                                                         const std::vector<double>& start) {
    const auto n = static_cast<alglib::ae_int_t>(b.size());
    alglib::real_1d_array x;
    alglib::minqpreport report;
    try {
        alglib::minqpstate state;
        setBoxQp(state, h, b, lower, upper);
        alglib::real_1d_array from;
        from.setcontent(n, start.data());
        alglib::minqpsetstartingpoint(state, from);
        alglib::minqpsetscaleautodiag(state);
        alglib::minqpsetalgoquickqp(state, 0.0, 0.0, QUICK_QP_STEP_TOLERANCE, 0, true);
        alglib::minqpoptimize(state);
        alglib::minqpresults(state, x, report);
    } catch (const alglib::ap_error&) {
        return std::nullopt;
    }
    if (report.terminationtype <= 0) return std::nullopt;
    std::vector<double> result(b.size());
    for (std::size_t j = 0; j < result.size(); ++j)
        result[j] = std::clamp(x(static_cast<alglib::ae_int_t>(j)), lower[j], upper[j]);
    return result;
}

}  // namespace fit
