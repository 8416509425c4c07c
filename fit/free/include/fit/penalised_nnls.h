#pragma once
// Non-negative least squares with a smoothness penalty: minimise |A x - y|^2 + s |D x|^2 over
// x >= 0, where D takes the second differences of the first `smoothColumns` unknowns (a spectrum
// on its bins) and leaves the others (a background amplitude) free of penalty. The quadratic
// programme is solved by ALGLIB's dense interior-point solver for box-constrained problems.
//
// The strength s is chosen, when not given, by generalised cross-validation over the unknowns that
// the solution leaves strictly inside their bounds: GCV(s) = n RSS / (n - T)^2 with T the trace of
// the influence matrix of those unknowns, T = tr((A_F'A_F + s D_F'D_F)^-1 A_F'A_F); and optionally
// raised by the discrepancy principle with the noise GCV estimates. Or it is the strength of largest
// evidence: the marginal likelihood of a Gaussian noise of unknown level and a Gaussian smoothness
// prior of unknown strength, on the unknowns the solution leaves free (the non-negativity holds the
// others at zero), with the noise level at its most likely value.
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace fit {

class PenalisedNnls {
public:
    // `design` holds rows() rows of columns() values each, row after row.
    PenalisedNnls(std::vector<double> design, std::vector<double> data, std::size_t columns, std::size_t smoothColumns);

    struct Solution {
        std::vector<double> x;
        double smooth = 0.0;
        double residualSumOfSquares = 0.0;
        double effectiveParameters = 0.0;  // T above
        double gcv = 0.0;
        double penaltyValue = 0.0;   // |D x|^2
        double noiseVariance = 0.0;  // the most likely sigma^2 of the data: (RSS + s |D x|^2) / n
        // The noise left after the T parameters the fit spent, RSS / (n - T): Q/n runs low when T is
        // a good part of few readings (a 5 mm scan).
        double residualNoiseVariance = 0.0;
        double logEvidence = 0.0;  // see logEvidence() below; minus infinity for s = 0
    };

    // Bounds of the unknowns (default 0 to infinity): 0 to 0 keeps a bin that the data must not use
    // empty, and a band keeps an amplitude near what other data give.
    void setBounds(std::vector<double> lower, std::vector<double> upper);
    // General linear constraints lower <= C x <= upper, C given row after row (columns() values per
    // row); infinite bounds for one-sided rows, equal ones for an equality. Empty vectors remove them.
    // They hold in every solution that follows (set them after choosing the strength: it is quicker).
    void setLinearConstraints(std::vector<double> rows, std::vector<double> lower, std::vector<double> upper);

    // The solution for one penalty strength (s >= 0). Throws engine::RunError when the solver fails.
    Solution solve(double smooth) const;

    // The strength of least GCV: a scan over [smoothLo, smoothHi] in equal steps of log s, then a
    // golden-section search between the neighbours of the best point. With `discrepancy`, the
    // strength is then raised as far as the residual allows under the discrepancy principle, with
    // the noise that GCV estimates: RSS(s) <= n RSS(s_gcv) / (n - T(s_gcv)).
    Solution solveWithChosenSmooth(double smoothLo, double smoothHi, bool discrepancy = false,
                                   int scanPoints = 25) const;

    // The strength of largest evidence (marginal likelihood): the same scan and search as above.
    Solution solveByEvidence(double smoothLo, double smoothHi, int scanPoints = 25) const;

    std::size_t rows() const { return data_.size(); }
    std::size_t columns() const { return columns_; }

private:
    Solution leastScore(double smoothLo, double smoothHi, int scanPoints,
                        const std::function<double(const Solution&)>& score, std::vector<Solution>& scan,
                        std::size_t& best) const;
    double penaltyOf(const std::vector<double>& x) const;
    double logEvidence(const std::vector<double>& x, double smooth, double misfit) const;
    std::vector<double> interiorPoint(const std::vector<double>& h) const;
    void polish(const std::vector<double>& h, std::vector<double>& x) const;
    double effectiveParameters(const std::vector<double>& x, double smooth) const;
    std::vector<std::size_t> freeSet(const std::vector<double>& x) const;
    bool withinBounds(const std::vector<double>& values, const std::vector<std::size_t>& which) const;

    std::vector<double> design_;
    std::vector<double> data_;
    std::size_t columns_;
    std::size_t smoothColumns_;
    std::vector<double> normal_;     // A'A, columns x columns
    std::vector<double> penalty_;    // D'D, columns x columns
    std::vector<double> projected_;  // A'y
    std::vector<double> lower_;
    std::vector<double> upper_;
    std::vector<double> constraintRows_;
    std::vector<double> constraintLower_;
    std::vector<double> constraintUpper_;
};

// min x'Hx/2 - b'x within [lower, upper] (H dense, row after row) by ALGLIB's QuickQP, started at
// `start`: fast for many similar problems. Empty when the solver fails.
std::optional<std::vector<double>> boxQuadraticProgramme(const std::vector<double>& h, const std::vector<double>& b,
                                                         const std::vector<double>& lower,
                                                         const std::vector<double>& upper,
                                                         const std::vector<double>& start);

}  // namespace fit
