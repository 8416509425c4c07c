#pragma once
// The fit of alpha, beta and the maximum energy: least squares between the model curve and the
// measured relative dose over the depths where the electrons' own dose dominates, from a few mm
// below the surface to R10 of the measurement (the engine has no bremsstrahlung tail to fit).
//
// Search: a coarse scan of alpha and beta (0.5 steps) at every maximum energy of the 0.1 MeV grid
// within the allowed span, then a descent on the 0.1 grid of the scroll bars and the energy box
// from the best coarse points, then a simplex search (bounds as infinite cost) for the continuous
// optimum, and last the grid around that optimum.
#include "fit/measured_data.h"
#include "fit/model_curve.h"
#include "fit/range_levels.h"

#include <array>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace fit {

constexpr double PARAMETER_MIN = 0.1;  // the scroll bars' range, alpha and beta alike
constexpr double PARAMETER_MAX = 20.0;
constexpr double PARAMETER_STEP = 0.1;
constexpr double MAX_ENERGY_STEP_MEV = 0.1;

enum class MaxEnergyMode { Free, Fixed };

struct FitOptions {
    MaxEnergyMode mode = MaxEnergyMode::Free;
    double centreMaxEnergyMeV = 9.0;                     // the start, e.g. from the practical range
    double maxEnergySpan = DEFAULT_MAX_ENERGY_SPAN;      // free mode: +- this fraction around the centre
    double fromDepthMm = 5.0;                            // start of the fitted depths below the surface
    std::string measuredFileName = "the measured file";  // named in the messages about the measurement
};

struct FitPoint {
    double alpha = 0.0;
    double beta = 0.0;
    double maxEnergyMeV = 0.0;
    double rmsPercent = 0.0;  // rms of (model - measured) over the fitted depths, % of the maximum
    DepthCurve relative{};    // the model curve, largest slab 1
    LevelDepths levels{};
};

struct FitResult {
    FitPoint onGrid;  // alpha, beta on the scroll bars' 0.1 grid, energy to 0.1 MeV
    FitPoint continuous;
    LevelDepths measured{};
    double fromDepthMm = 0.0;
    double toDepthMm = 0.0;  // R10 of the measurement
    int fittedPoints = 0;
    int evaluations = 0;
    bool maxEnergyAtLimit = false;  // free mode: the grid optimum lies on the edge of the span
    double maxEnergySpan = 0.0;
};

// A point of the 0.1 grid in tenths, with its cost.
struct GridPoint {
    long alpha = 0;
    long beta = 0;
    long energy = 0;
    double cost = std::numeric_limits<double>::infinity();
};

using Parameters = std::array<double, 3>;  // alpha, beta, maximum energy (MeV)

using FitProgress = std::function<void(const std::string& stage, int done, int total)>;

class SpectrumFit {
public:
    // Throws engine::RunError when the measurement has no R10 or no point in the fitted depths.
    SpectrumFit(const ModelBasis& model, const MeasuredCurve& measured, const FitOptions& options);

    // Sum of squared differences at (alpha, beta, maxEnergyMeV); +infinity where the spectrum
    // cannot be formed (density overflow, every weight below the floor) or the basis ends.
    double objective(double alpha, double beta, double maxEnergyMeV);

    FitResult run(const FitProgress& progress = {});

    // The model point for given parameters (curve, R-values, rms).
    FitPoint evaluate(double alpha, double beta, double maxEnergyMeV);

private:
    const BinCurves& curvesFor(double maxEnergyMeV);
    const engine::Spectrum* spectrumFor(double alpha, double beta);
    double sumOfSquares(const DepthCurve& relative) const;
    std::vector<double> energyGrid() const;
    std::vector<GridPoint> coarseScan(const std::vector<double>& energies, const FitProgress& progress);
    GridPoint gridCost(long alpha, long beta, long energy);
    GridPoint descend(GridPoint start, long energyLo, long energyHi);
    GridPoint bestGridPointNear(const Parameters& optimum, long energyLo, long energyHi);
    std::pair<Parameters, double> simplexSearch(const Parameters& start);

    const ModelBasis& model_;
    FitOptions options_;
    LevelDepths measuredLevels_{};
    std::vector<double> depthMm_;   // fitted measured points
    std::vector<double> relative_;  // their dose relative to the measured maximum
    std::map<long, BinCurves> curvesByTenthMeV_;
    BinCurves scratchCurves_;
    // Weights do not depend on the energy: kept per (alpha, beta) of the 0.1 grid, in tenths.
    std::map<std::pair<long, long>, std::optional<engine::Spectrum>> gridSpectra_;
    std::optional<engine::Spectrum> scratchSpectrum_;
    int evaluations_ = 0;
};

}  // namespace fit
