#pragma once
// The free-form fit as one ordered list of stages, each with its reason, and the one driver that runs
// them in that order. `orvalis-fit --model free` goes through it (and so does the fit window, which
// runs that program); the stages that need the command line (the maximum energy it may be given, the
// basis from its cache or the engine) are handed in as hooks, and every stage reports to a sink, so
// that the lines come out in the order of the list.
#include "fit/background_model.h"
#include "fit/free_spectrum_fit.h"
#include "fit/measured_data.h"
#include "fit/model_curve.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace fit {

// The stages in the order they run. The first three come before the basis: their lines are printed
// before a basis is simulated, which may take minutes, and they decide which basis it is.
enum class FreeFitStage {
    // Rp of the deepest fall-off. The steepest tangent belongs to the most numerous electrons; a
    // spectrum of two groups falls off twice, and the deeper group would be left beyond Rp, out of
    // Emax and taken for a background. Refuses a curve without a fall-off, before the basis.
    PracticalRange,
    // Emax of the bins, given or 1.2 x the energy for that Rp, so that the top bins stay free above
    // the most energetic electrons (a hook: the range-energy table is the command's).
    MaximumEnergy,
    // The bremsstrahlung background: a straight line fitted to the tail beyond Rp and built up towards
    // the surface (photons from the head build up in the water, those made in the phantom grow along
    // the electrons' tracks), or none, with the reason (a short tail, or one that falls like electrons).
    Background,
    // The monoenergetic curves at the bin energies up to Emax, from the cache or simulated (a hook);
    // the slow stage, where a cancel is most likely.
    Basis,
    // The whole model, electrons plus background, fitted to the measurement (fitFreeSpectrum): bins
    // whose electrons would reach beyond the deepest fall-off stay empty, the background height stays
    // near its tail's line, the model is held at the measured maximum so that both are normalised
    // alike, the smoothing is chosen by the evidence on that held problem, then the posterior band.
    Fit,
    // The spectrum handed to the simulators, refitted without the background up to R10 at the
    // smoothing of the whole fit: their runs follow electrons only and normalise to their own
    // maximum, so the model's electrons alone would put R50 and R10 too shallow. The smoothing is not
    // chosen anew: on the refit the misfit is ruled by the toe that electrons alone cannot follow, and
    // the choice went down to spectra leaning on the noise of single basis curves (R80 of their runs
    // off by up to 0.9 mm). Only with a background; the report's window column is this spectrum's run.
    RunSpectrum,
};
constexpr int FREE_FIT_STAGE_COUNT = static_cast<int>(FreeFitStage::RunSpectrum) + 1;

// What the stages are given and what they leave for the next ones.
struct FreeFitRun {
    MeasuredCurve measured;
    std::string fileName;  // named in every refusal
    BackgroundMode backgroundMode = BackgroundMode::Automatic;
    FreeFitOptions options;

    std::optional<double> practicalRangeMm;
    float maxEnergyMeV = 0.0f;
    std::optional<BackgroundLine> background;
    std::string whyNoBackground;  // empty while there is a background
    std::optional<ModelBasis> model;
    std::optional<FreeFitResult> result;
    std::optional<FreeFitResult> forRun;  // with a background only
};

struct FreeFitHooks {
    std::function<float(const FreeFitRun&)> maxEnergy;
    std::function<std::optional<ModelBasis>(const FreeFitRun&)> basis;  // empty: cancelled
    std::function<void(FreeFitStage, const FreeFitRun&)> starting;      // optional
    std::function<void(FreeFitStage, const FreeFitRun&)> finished;      // optional: the stage's lines
};

enum class FreeFitOutcome { Done, Cancelled };

// Runs every stage of the list in its order, checking `cancel` before each. Throws what the stages
// throw (engine::RunError naming the file for an unusable measurement).
FreeFitOutcome runFreeFitStages(FreeFitRun& run, const FreeFitHooks& hooks,
                                const std::atomic<bool>* cancel = nullptr);

}  // namespace fit
