#pragma once
// The one driver of the free-form fit's stages (free_fit_stages.h). `orvalis-fit --model free` goes
// through it (and so does the fit window, which runs that program); the stages that need the command
// line (the maximum energy it may be given, the basis from its cache or the engine) are handed in as
// hooks, and every stage reports to a sink, so that the lines come out in the order of the list.
#include "fit/background_model.h"
#include "fit/free_fit_stages.h"
#include "fit/free_spectrum_fit.h"
#include "fit/measured_data.h"
#include "fit/model_curve.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace fit {

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
FreeFitOutcome runFreeFitStages(FreeFitRun& run, const FreeFitHooks& hooks, const std::atomic<bool>* cancel = nullptr);

}  // namespace fit
