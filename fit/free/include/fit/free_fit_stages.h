#pragma once
// The free-form fit as one ordered list of stages, each with its reason. runFreeFitStages
// (free_fit_driver.h) runs the stages and fitFreeSpectrum (free_spectrum_fit.h) the steps of one fit,
// both in the order written here.

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
    // The whole model, electrons plus background, fitted to the measurement: the steps of
    // FreeFitStep below, with the posterior band.
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

// The steps of one fit (fitFreeSpectrum), run by Fit and again by RunSpectrum, in this order.
enum class FreeFitStep {
    // From a few mm below the surface (the low-energy electrons show only in the build-up) to the end
    // of the measurement with a background, to R10 without one (electrons alone make no tail).
    // Refuses a curve with too few readings there.
    FittedDepths,
    // The basis at the 100 bin energies, scaled so that 100 bins of weight 1 give a maximum of 1.
    BasisAtBins,
    // Bins whose electrons would reach beyond the deepest fall-off (1.15 x it, plus 2 mm) stay empty:
    // they would put dose into the tail, where only photons are. With two groups the deeper one is
    // kept (R10 lies beyond the Rp of the steeper one).
    ElectronReach,
    // Non-negative weights kept smooth by a penalty on their second differences, with one column
    // for the background's height.
    SmoothedProblem,
    // The background's height stays within 25 % of its tail's line, so that a misfit of the build-up
    // cannot trade the background away.
    BackgroundHeight,
    // The model is held at most at the measured maximum everywhere and at it where the measurement
    // has its largest reading: both are then normalised alike (otherwise R90 and R80 of the model
    // come out deeper, up to 0.8 mm on 12-20 MeV beams).
    HeldAtMeasuredMaximum,
    // The smoothing of largest evidence (or the one given), chosen on the held problem: chosen free
    // and then held, a smooth spectrum could no longer follow a sharp fall-off (rms 4 % instead of
    // 0.5 % on a 19 MeV beam at 5 mm steps). Where nothing can be held so, the fit goes without.
    Smoothing,
    // The weights as the simulator reads them back from the exchange file (below the floor: none),
    // then the curves of electrons, background and model, the rms and the R-levels from them.
    SpectrumAndCurves,
    // Samples of the posterior, with the Monte Carlo noise of the basis: the 95 % intervals and the
    // band of the spectrum. Skipped with no samples (and on the run spectrum's refit).
    Posterior,
};
constexpr int FREE_FIT_STEP_COUNT = static_cast<int>(FreeFitStep::Posterior) + 1;

}  // namespace fit
