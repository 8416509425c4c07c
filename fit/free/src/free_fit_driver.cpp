#include "fit/free_fit_driver.h"

#include "engine/run_error.h"
#include "fit/range_levels.h"

#include <cmath>

namespace fit {

namespace {

// While the curve still falls through 10 % beyond Rp, the next fall-off is taken; a single fall-off
// keeps its Rp (R10 lies before it).
std::optional<double> deepestPracticalRangeMm(const MeasuredCurve& curve) {
    std::optional<double> rp = practicalRangeMm(curve);
    const double r10 = measuredLevels(curve)[3];
    while (rp && !std::isnan(r10) && r10 > *rp + TAIL_START_MM) {
        MeasuredCurve deeper;
        for (std::size_t i = 0; i < curve.depthMm.size(); ++i)
            if (curve.depthMm[i] >= *rp) {
                deeper.depthMm.push_back(curve.depthMm[i]);
                deeper.dose.push_back(curve.dose[i]);
            }
        const std::optional<double> next = deeper.dose.empty() ? std::nullopt : practicalRangeMm(deeper);
        if (!next || *next <= *rp) break;
        rp = next;
    }
    return rp;
}

void runStage(FreeFitStage stage, FreeFitRun& run, const FreeFitHooks& hooks) {
    switch (stage) {
    case FreeFitStage::PracticalRange:
        run.practicalRangeMm = deepestPracticalRangeMm(run.measured);
        if (!run.practicalRangeMm)
            throw engine::RunError(run.fileName, 0, "has no fall-off to take a practical range from");
        return;
    case FreeFitStage::MaximumEnergy: run.maxEnergyMeV = hooks.maxEnergy(run); return;
    case FreeFitStage::Background:
        run.whyNoBackground.clear();
        run.background = backgroundLine(run.measured, *run.practicalRangeMm, run.backgroundMode, run.fileName,
                                        &run.whyNoBackground);
        if (!run.background && run.whyNoBackground.empty()) run.whyNoBackground = "switched off by --background off";
        return;
    case FreeFitStage::Basis: run.model = hooks.basis(run); return;
    case FreeFitStage::Fit:
        run.result = fitFreeSpectrum(*run.model, run.maxEnergyMeV, run.measured, run.background, run.options,
                                     run.fileName);
        return;
    case FreeFitStage::RunSpectrum:
        if (!run.background) return;
        {
            FreeFitOptions options = run.options;
            options.smooth = run.result->smooth;
            options.samples = 0;  // the intervals belong to the whole model
            run.forRun = fitFreeSpectrum(*run.model, run.maxEnergyMeV, run.measured, std::nullopt, options,
                                         run.fileName);
            run.result->window = run.forRun->window;
        }
        return;
    }
}

}  // namespace

FreeFitOutcome runFreeFitStages(FreeFitRun& run, const FreeFitHooks& hooks, const std::atomic<bool>* cancel) {
    for (int i = 0; i < FREE_FIT_STAGE_COUNT; ++i) {
        const auto stage = static_cast<FreeFitStage>(i);
        if (cancel && cancel->load()) return FreeFitOutcome::Cancelled;
        if (hooks.starting) hooks.starting(stage, run);
        runStage(stage, run, hooks);
        if (stage == FreeFitStage::Basis && !run.model) return FreeFitOutcome::Cancelled;
        if (hooks.finished) hooks.finished(stage, run);
    }
    return FreeFitOutcome::Done;
}

}  // namespace fit
