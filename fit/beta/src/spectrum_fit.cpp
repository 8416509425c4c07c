#include "fit/spectrum_fit.h"

#include "engine/run_error.h"
#include "fit/beta_weights.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

namespace fit {

namespace {

constexpr double INFINITE_COST = std::numeric_limits<double>::infinity();
constexpr double COARSE_STEP = 0.5;
constexpr int COARSE_STARTS = 4;  // best coarse points refined on the 0.1 grid
constexpr int SIMPLEX_MAX_EVALUATIONS = 400;
constexpr double SIMPLEX_TOLERANCE = 1e-4;  // parameter spread at which the simplex stops
constexpr int SIMPLEX_ROUNDS = 2;
constexpr double PERCENT = 100.0;

long tenths(double value) { return std::lround(value / PARAMETER_STEP); }
double fromTenths(long value) { return static_cast<double>(value) * PARAMETER_STEP; }

bool inRange(double parameter) { return parameter >= PARAMETER_MIN - 1e-9 && parameter <= PARAMETER_MAX + 1e-9; }

bool onGrid(double value) { return std::fabs(value - fromTenths(tenths(value))) < 1e-9; }

// Nelder-Mead simplex over the first `dims` parameters; the others stay as started. Points outside
// the bounds cost infinity, so the simplex turns away from them.
class Simplex {
public:
    using Cost = std::function<double(const Parameters&)>;

    Simplex(const Parameters& start, int dims, Cost cost)
        : dims_(static_cast<std::size_t>(dims)), cost_(std::move(cost)) {
        const Parameters initialStep = {0.2, 0.2, 0.05};
        vertices_.assign(dims_ + 1, start);
        for (std::size_t k = 0; k < dims_; ++k) {
            Parameters& vertex = vertices_[k + 1];
            vertex[k] += initialStep[k];
            if (!std::isfinite(evaluate(vertex))) vertex[k] -= 2.0 * initialStep[k];
        }
        for (const Parameters& vertex : vertices_) values_.push_back(evaluate(vertex));
    }

    int evaluations() const { return evaluations_; }

    // Largest distance of a vertex from the best one, in any parameter.
    double spread() const {
        const Parameters& best = vertices_[bestIndex()];
        double spread = 0.0;
        for (const Parameters& vertex : vertices_)
            for (std::size_t k = 0; k < dims_; ++k) spread = std::max(spread, std::fabs(vertex[k] - best[k]));
        return spread;
    }

    std::pair<Parameters, double> best() const { return {vertices_[bestIndex()], values_[bestIndex()]}; }

    // Reflect the worst vertex through the centroid of the others; expand, contract or shrink.
    void step() {
        std::vector<std::size_t> order(vertices_.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return values_[x] < values_[y]; });
        const std::size_t best = order.front();
        const std::size_t worst = order.back();
        const Parameters reflected = along(worst, -1.0);
        const double reflectedCost = evaluate(reflected);
        if (reflectedCost < values_[best]) {
            const Parameters expanded = along(worst, -2.0);
            const double expandedCost = evaluate(expanded);
            if (expandedCost < reflectedCost)
                replace(worst, expanded, expandedCost);
            else
                replace(worst, reflected, reflectedCost);
        } else if (reflectedCost < values_[order[order.size() - 2]]) {
            replace(worst, reflected, reflectedCost);
        } else {
            const Parameters contracted = along(worst, 0.5);
            const double contractedCost = evaluate(contracted);
            if (contractedCost < values_[worst])
                replace(worst, contracted, contractedCost);
            else
                shrinkTowards(best);
        }
    }

private:
    double evaluate(const Parameters& point) {
        ++evaluations_;
        return cost_(point);
    }
    std::size_t bestIndex() const {
        return static_cast<std::size_t>(std::min_element(values_.begin(), values_.end()) - values_.begin());
    }
    // centroid + factor x (vertex - centroid), the centroid taken over all vertices but `vertex`.
    Parameters along(std::size_t vertex, double factor) const {
        Parameters point = vertices_[vertex];
        for (std::size_t k = 0; k < dims_; ++k) {
            double sum = 0.0;
            for (std::size_t i = 0; i < vertices_.size(); ++i)
                if (i != vertex) sum += vertices_[i][k];
            const double centroid = sum / static_cast<double>(dims_);
            point[k] = centroid + factor * (vertices_[vertex][k] - centroid);
        }
        return point;
    }
    void replace(std::size_t vertex, const Parameters& point, double value) {
        vertices_[vertex] = point;
        values_[vertex] = value;
    }
    void shrinkTowards(std::size_t best) {
        for (std::size_t i = 0; i < vertices_.size(); ++i) {
            if (i == best) continue;
            for (std::size_t k = 0; k < dims_; ++k)
                vertices_[i][k] = vertices_[best][k] + 0.5 * (vertices_[i][k] - vertices_[best][k]);
            values_[i] = evaluate(vertices_[i]);
        }
    }

    std::size_t dims_;
    Cost cost_;
    std::vector<Parameters> vertices_;
    std::vector<double> values_;
    int evaluations_ = 0;
};

}  // namespace

SpectrumFit::SpectrumFit(const ModelBasis& model, const MeasuredCurve& measured, const FitOptions& options)
    : model_(model), options_(options) {
    measuredLevels_ = measuredLevels(measured);
    const double r10 = measuredLevels_[3];
    if (std::isnan(r10))
        throw engine::RunError(options_.measuredFileName, 0,
                               "the dose never falls to 10 % of its maximum: no R10 to fit up to");
    const double largest = *std::max_element(measured.dose.begin(), measured.dose.end());
    for (std::size_t i = 0; i < measured.depthMm.size(); ++i) {
        if (measured.depthMm[i] < options_.fromDepthMm || measured.depthMm[i] > r10) continue;
        depthMm_.push_back(measured.depthMm[i]);
        relative_.push_back(measured.dose[i] / largest);
    }
    if (depthMm_.size() < 3)
        throw engine::RunError(
            options_.measuredFileName, 0,
            "fewer than three records between " + std::to_string(options_.fromDepthMm) + " mm and R10: nothing to fit");
}

std::vector<double> SpectrumFit::energyGrid() const {
    std::vector<double> energies;
    const long centre = tenths(options_.centreMaxEnergyMeV);
    if (options_.mode == MaxEnergyMode::Fixed) {
        energies.push_back(fromTenths(centre));
        return energies;
    }
    const long lo = tenths(options_.centreMaxEnergyMeV * (1.0 - options_.maxEnergySpan));
    const long hi = tenths(options_.centreMaxEnergyMeV * (1.0 + options_.maxEnergySpan));
    for (long e = std::max(lo, 1L); e <= hi; ++e)
        if (model_.covers(static_cast<float>(fromTenths(e)))) energies.push_back(fromTenths(e));
    return energies;
}

const BinCurves& SpectrumFit::curvesFor(double maxEnergyMeV) {
    if (onGrid(maxEnergyMeV)) {
        const long key = tenths(maxEnergyMeV);
        auto found = curvesByTenthMeV_.find(key);
        if (found == curvesByTenthMeV_.end())
            found = curvesByTenthMeV_.emplace(key, model_.binCurves(static_cast<float>(fromTenths(key)))).first;
        return found->second;
    }
    scratchCurves_ = model_.binCurves(static_cast<float>(maxEnergyMeV));
    return scratchCurves_;
}

const engine::Spectrum* SpectrumFit::spectrumFor(double alpha, double beta) {
    // The maximum energy only scales the bin energies, which the model takes from its curves.
    constexpr float ANY_ENERGY_MEV = 1.0f;
    if (onGrid(alpha) && onGrid(beta)) {
        const auto key = std::make_pair(tenths(alpha), tenths(beta));
        auto found = gridSpectra_.find(key);
        if (found == gridSpectra_.end())
            found = gridSpectra_
                        .emplace(key, simulatorSpectrum(fromTenths(key.first), fromTenths(key.second), ANY_ENERGY_MEV))
                        .first;
        return found->second ? &*found->second : nullptr;
    }
    scratchSpectrum_ = simulatorSpectrum(alpha, beta, ANY_ENERGY_MEV);
    return scratchSpectrum_ ? &*scratchSpectrum_ : nullptr;
}

double SpectrumFit::sumOfSquares(const DepthCurve& relative) const {
    double sum = 0.0;
    for (std::size_t i = 0; i < depthMm_.size(); ++i) {
        const double difference = resultCurveAt(relative, depthMm_[i]) - relative_[i];
        sum += difference * difference;
    }
    return sum;
}

double SpectrumFit::objective(double alpha, double beta, double maxEnergyMeV) {
    ++evaluations_;
    if (!inRange(alpha) || !inRange(beta) || !(maxEnergyMeV > 0.0)) return INFINITE_COST;
    if (!model_.covers(static_cast<float>(maxEnergyMeV))) return INFINITE_COST;
    // The span bounds the energy; its ends are those of the 0.1 MeV grid.
    if (options_.mode == MaxEnergyMode::Free &&
        (maxEnergyMeV < fromTenths(tenths(options_.centreMaxEnergyMeV * (1.0 - options_.maxEnergySpan))) - 1e-9 ||
         maxEnergyMeV > fromTenths(tenths(options_.centreMaxEnergyMeV * (1.0 + options_.maxEnergySpan))) + 1e-9))
        return INFINITE_COST;
    const engine::Spectrum* spectrum = spectrumFor(alpha, beta);
    if (!spectrum) return INFINITE_COST;
    const DepthCurve relative = relativeModelCurve(curvesFor(maxEnergyMeV), *spectrum);
    if (!(relative[0] >= 0.0) || *std::max_element(relative.begin(), relative.end()) == 0.0) return INFINITE_COST;
    return sumOfSquares(relative);
}

FitPoint SpectrumFit::evaluate(double alpha, double beta, double maxEnergyMeV) {
    FitPoint point;
    point.alpha = alpha;
    point.beta = beta;
    point.maxEnergyMeV = maxEnergyMeV;
    const engine::Spectrum* spectrum = spectrumFor(alpha, beta);
    if (spectrum && model_.covers(static_cast<float>(maxEnergyMeV)))
        point.relative = relativeModelCurve(curvesFor(maxEnergyMeV), *spectrum);
    point.rmsPercent = PERCENT * std::sqrt(sumOfSquares(point.relative) / static_cast<double>(depthMm_.size()));
    point.levels = resultCurveLevels(point.relative);
    return point;
}

std::vector<GridPoint> SpectrumFit::coarseScan(const std::vector<double>& energies, const FitProgress& progress) {
    std::vector<GridPoint> best;
    const long coarse = tenths(COARSE_STEP);
    for (std::size_t e = 0; e < energies.size(); ++e) {
        for (long a = coarse; a <= tenths(PARAMETER_MAX); a += coarse)
            for (long b = coarse; b <= tenths(PARAMETER_MAX); b += coarse) {
                const GridPoint c{a, b, tenths(energies[e]), objective(fromTenths(a), fromTenths(b), energies[e])};
                if (best.size() == COARSE_STARTS && !(c.cost < best.back().cost)) continue;
                best.push_back(c);
                std::sort(best.begin(), best.end(),
                          [](const GridPoint& x, const GridPoint& y) { return x.cost < y.cost; });
                if (best.size() > COARSE_STARTS) best.pop_back();
            }
        if (progress) progress("scan", static_cast<int>(e + 1), static_cast<int>(energies.size()));
    }
    return best;
}

GridPoint SpectrumFit::gridCost(long alpha, long beta, long energy) {
    return GridPoint{alpha, beta, energy, objective(fromTenths(alpha), fromTenths(beta), fromTenths(energy))};
}

GridPoint SpectrumFit::descend(GridPoint current, long energyLo, long energyHi) {
    const long energyReach = options_.mode == MaxEnergyMode::Free ? 1 : 0;
    for (bool moved = true; moved;) {
        moved = false;
        GridPoint step = current;
        for (long da = -1; da <= 1; ++da)
            for (long db = -1; db <= 1; ++db)
                for (long de = -energyReach; de <= energyReach; ++de) {
                    const long energy = current.energy + de;
                    if (energy < energyLo || energy > energyHi) continue;
                    const GridPoint n = gridCost(current.alpha + da, current.beta + db, energy);
                    if (n.cost < step.cost) step = n;
                }
        if (step.cost < current.cost) {
            current = step;
            moved = true;
        }
    }
    return current;
}

GridPoint SpectrumFit::bestGridPointNear(const Parameters& optimum, long energyLo, long energyHi) {
    constexpr long PARAMETER_REACH = 3;  // tenths around the continuous optimum
    const long energyReach = options_.mode == MaxEnergyMode::Free ? 2 : 0;
    GridPoint best;
    for (long a = tenths(optimum[0]) - PARAMETER_REACH; a <= tenths(optimum[0]) + PARAMETER_REACH; ++a)
        for (long b = tenths(optimum[1]) - PARAMETER_REACH; b <= tenths(optimum[1]) + PARAMETER_REACH; ++b)
            for (long e = tenths(optimum[2]) - energyReach; e <= tenths(optimum[2]) + energyReach; ++e) {
                if (e < energyLo || e > energyHi) continue;
                const GridPoint n = gridCost(a, b, e);
                if (n.cost < best.cost) best = n;
            }
    return best;
}

std::pair<Parameters, double> SpectrumFit::simplexSearch(const Parameters& start) {
    const int dims = options_.mode == MaxEnergyMode::Free ? 3 : 2;
    Simplex simplex(start, dims, [this](const Parameters& v) { return objective(v[0], v[1], v[2]); });
    while (simplex.evaluations() < SIMPLEX_MAX_EVALUATIONS && simplex.spread() >= SIMPLEX_TOLERANCE) simplex.step();
    return simplex.best();
}

FitResult SpectrumFit::run(const FitProgress& progress) {
    const std::vector<double> energies = energyGrid();
    if (energies.empty()) throw engine::RunError("The basis does not reach the maximum energies to be fitted.");
    const long energyLo = tenths(energies.front());
    const long energyHi = tenths(energies.back());

    GridPoint gridBest;
    for (const GridPoint& start : coarseScan(energies, progress)) {
        const GridPoint found = descend(start, energyLo, energyHi);
        if (found.cost < gridBest.cost) gridBest = found;
    }
    if (progress) progress("grid", 1, 1);

    // The valley of alpha against beta is long and narrow: the simplex runs twice, the second time
    // afresh from where the first stopped, and the grid is searched again around its optimum.
    Parameters optimum = {fromTenths(gridBest.alpha), fromTenths(gridBest.beta), fromTenths(gridBest.energy)};
    double optimumCost = gridBest.cost;
    for (int round = 0; round < SIMPLEX_ROUNDS; ++round) {
        const auto [point, cost] = simplexSearch(optimum);
        if (cost < optimumCost) {
            optimum = point;
            optimumCost = cost;
        }
    }
    const GridPoint near = bestGridPointNear(optimum, energyLo, energyHi);
    if (near.cost < gridBest.cost) gridBest = descend(near, energyLo, energyHi);
    if (progress) progress("refine", 1, 1);

    FitResult result;
    result.onGrid = evaluate(fromTenths(gridBest.alpha), fromTenths(gridBest.beta), fromTenths(gridBest.energy));
    result.continuous = optimumCost <= gridBest.cost ? evaluate(optimum[0], optimum[1], optimum[2]) : result.onGrid;
    result.measured = measuredLevels_;
    result.fromDepthMm = options_.fromDepthMm;
    result.toDepthMm = measuredLevels_[3];
    result.fittedPoints = static_cast<int>(depthMm_.size());
    result.evaluations = evaluations_;
    result.maxEnergyAtLimit = options_.mode == MaxEnergyMode::Free &&
                              (gridBest.energy == energyLo || gridBest.energy == energyHi);
    result.maxEnergySpan = options_.maxEnergySpan;
    return result;
}

}  // namespace fit
