#pragma once
// The uncertainty of the free-form fit: samples of the posterior of the spectrum under
// non-negativity, and from them 95 % intervals of the mean and most probable energy, of the model's
// R90, R80, R50 and R10 at the measured depths, and a pointwise band on the spectrum.
//
// Each sample perturbs what the fit took as known and solves the non-negative problem again
// ("randomise, then optimise"): the data by their noise, the prior by its own spread (which, without
// the bounds, makes the solution an exact draw from the Gaussian posterior), and every basis curve by
// its Monte Carlo variance, so that a spectrum leaning on one curve's noise gets a band wide enough.
#include "fit/axis_basis.h"
#include "fit/background_model.h"
#include "fit/model_curve.h"
#include "fit/range_levels.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace fit {

constexpr int DEFAULT_POSTERIOR_SAMPLES = 300;
constexpr double INTERVAL_LEVEL = 0.95;

// The fit's linear model: one column per bin (its curve relative to `scale`, zero for a bin kept
// empty) and, with a background, one for its height.
struct FreeLinearModel {
    const BinCurves& curves;
    const std::vector<bool>& allowed;
    double scale;
    const std::optional<BackgroundLine>& background;

    std::size_t columns() const;
    // Appends the row of a measured depth (mm), slabs at their label depths, with `curves` in place of
    // the model's own (the same bins, perturbed).
    void appendRow(const BinCurves& curvesUsed, double depthMm, std::vector<double>& rows) const;
    void appendRow(double depthMm, std::vector<double>& rows) const { appendRow(curves, depthMm, rows); }
};

struct Interval {
    double value = 0.0;  // the fit's own
    double low = 0.0;
    double high = 0.0;
};

struct PosteriorInput {
    std::vector<double> fittedDepthMm;  // the rows of the fit
    std::vector<double> fittedRelative;
    std::vector<double> measuredDepthMm;  // where the R-values are sampled, as `free=`
    std::vector<double> lower;            // the fit's bounds, one per column
    std::vector<double> upper;
    std::vector<double> solution;         // the fit's unknowns
    std::vector<DepthCurve> binVariance;  // per bin, in the curves' unit squared; empty: no basis noise
    double smooth = 0.0;
    double noiseVariance = 0.0;  // of the readings about the fit, RSS / (n - T), relative dose squared
    float maxEnergyMeV = 0.0f;
    int samples = DEFAULT_POSTERIOR_SAMPLES;
    std::uint64_t seed = 1;
};

struct PosteriorSummary {
    int samples = 0;                 // that the solver solved
    double dataNoisePercent = 0.0;   // the data's own noise, % of the maximum
    double basisNoisePercent = 0.0;  // rms of the model's noise from the basis over the fitted depths
    // What samplePosterior() gives: the distances of the 2.5 % and 97.5 % quantiles below and above
    // the samples' median, as low and high; the caller places them about the fit's own value.
    std::array<Interval, 2> energy{};             // mean, most probable (MeV)
    std::array<Interval, LEVELS.size()> level{};  // R90..R10 (mm); NaN where samples lack the level
    // The same for each bin of the spectrum, each sample normalised to sum 1.
    std::array<double, engine::SPECTRUM_BINS> bandLow{};
    std::array<double, engine::SPECTRUM_BINS> bandHigh{};
};

// Throws engine::RunError when no sample can be solved.
PosteriorSummary samplePosterior(const FreeLinearModel& model, const PosteriorInput& input);

// The q-quantile (0..1) of values, linear between order statistics; NaN for none.
double quantile(std::vector<double> values, double q);

}  // namespace fit
