#pragma once
// The free-form spectrum fit: one non-negative weight per exchange-file bin (energies j/100 x Emax,
// j = 1..100), kept smooth by a penalty on their second differences, plus the height of the
// bremsstrahlung background when there is one. The model, electrons plus background, is fitted to
// the measured dose relative to its maximum from a few mm below the surface to the end of the
// measurement (to R10 without a background, since the electrons alone make no tail).
#include "engine/run_frame.h"
#include "fit/background_model.h"
#include "fit/measured_data.h"
#include "fit/model_curve.h"
#include "fit/posterior_band.h"
#include "fit/range_levels.h"

#include <array>
#include <optional>

namespace fit {

// Range of the automatic choice of the penalty strength (the weights scaled so that 100 bins of
// weight 1 give a curve of maximum 1).
constexpr double SMOOTH_LOWEST = 1e-9;
constexpr double SMOOTH_HIGHEST = 1e2;
// The weakest smoothing the evidence may choose. Below it the spectra lean on the Monte Carlo noise of
// single basis curves, and on a sparse scan (5 mm steps to R10: some 15 readings) the evidence, with
// the noise level its own free parameter, runs on towards a spectrum that passes through every
// reading (rms 0.05 % on readings of 0.45 % noise).
constexpr double EVIDENCE_SMOOTH_LOWEST = 1e-7;

struct FreeFitOptions {
    // The low-energy part of the spectrum shows only in the build-up: the fit starts near the surface.
    double fromDepthMm = 1.0;
    std::optional<double> smooth;             // empty: the strength of largest evidence
    int samples = DEFAULT_POSTERIOR_SAMPLES;  // of the posterior; 0: no uncertainty
};

struct FreeFitResult {
    float maxEnergyMeV = 0.0f;
    // The spectrum as the simulator reads it from the exchange file: relative weights (largest 1),
    // weights below the floor dropped.
    std::array<double, engine::SPECTRUM_BINS> relativeWeight{};
    engine::Spectrum spectrum;  // the same, normalised to sum 1, bin energies in keV
    double meanEnergyMeV = 0.0;
    double peakEnergyMeV = 0.0;

    std::optional<BackgroundLine> background;
    double backgroundHeight = 0.0;       // at Rp, in units of the measured maximum
    double backgroundAtRpPercent = 0.0;  // Dx, % of the model's maximum; 0 without a background

    double smooth = 0.0;
    bool smoothChosen = false;  // by the evidence (not given)
    double effectiveParameters = 0.0;
    double noisePercent = 0.0;  // the most likely noise of the readings at that smoothing, % of the maximum

    double rmsPercent = 0.0;  // (model - measured) over the fitted depths, % of the measured maximum
    double fromDepthMm = 0.0;
    double toDepthMm = 0.0;
    int fittedPoints = 0;

    // 1 mm slabs as a result file holds them, in units of the measured maximum.
    DepthCurve electrons{};
    DepthCurve backgroundDose{};
    DepthCurve model{};  // electrons + background

    LevelDepths measured{};       // the measured file searched as the comparison window searches it
    LevelDepths free{};           // the model at the measured depths, searched the same way
    LevelDepths window{};         // the model's 1 mm curve, searched as the window searches a result
    LevelDepths electronsOnly{};  // the electrons' 1 mm curve alone: what a run of the spectrum gives

    // 95 % intervals of mean and peak energy and of `free`, the band normalised like relativeWeight.
    std::optional<PosteriorSummary> uncertainty;
};

// The model (electrons plus background, in units of the measured maximum) at a depth in mm: the
// electrons' 1 mm slabs end at 110 mm, the background goes on.
double freeModelAt(const FreeFitResult& result, double depthMm);

// Runs the steps of one fit in the order of FreeFitStep (free_fit_stages.h).
// Throws engine::RunError naming `fileName` when the measurement gives too few points to fit, and
// std::out_of_range when the basis does not reach maxEnergyMeV.
FreeFitResult fitFreeSpectrum(const ModelBasis& model, float maxEnergyMeV, const MeasuredCurve& measured,
                              const std::optional<BackgroundLine>& background, const FreeFitOptions& options,
                              const std::string& fileName);

}  // namespace fit
