#include "fit/free_spectrum_fit.h"

#include "engine/run_error.h"
#include "fit/beta_weights.h"
#include "fit/free_fit_stages.h"
#include "fit/penalised_nnls.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fit {

namespace {

constexpr double PERCENT = 100.0;
constexpr std::size_t BINS = engine::SPECTRUM_BINS;
constexpr std::size_t MIN_FITTED_POINTS = 8;
// Electrons whose own practical range lies beyond this multiple of the measured one (plus a
// millimetre of slack) would put dose into the tail, where only photons are: their bins stay empty.
// The factor leaves room for spectra whose most energetic electrons lie well above the most
// probable ones (a Beta spectrum with beta near 2 still has 70 % of its peak at 0.95 Emax).
constexpr double ELECTRON_REACH_FACTOR = 1.15;
constexpr double ELECTRON_REACH_SLACK_MM = 2.0;
constexpr double BACKGROUND_BAND = 0.25;  // the fitted height stays within +-25 % of the tail's line
constexpr int LAST_LABEL = DEPTH_BINS - engine::DEPTH_LABEL_OFFSET_MM;  // the deepest slab, 110 mm

double largestMeasured(const MeasuredCurve& measured) {
    return *std::max_element(measured.dose.begin(), measured.dose.end());
}

// False for a bin whose curve reaches beyond `limitMm` or does not fall off within the slabs.
bool withinReach(const DepthCurve& curve, double limitMm) {
    MeasuredCurve slabs;
    for (int label = 1; label <= LAST_LABEL; ++label) {
        slabs.depthMm.push_back(label);
        slabs.dose.push_back(curve[elementOfLabel(label)]);
    }
    if (!(*std::max_element(slabs.dose.begin(), slabs.dose.end()) > 0.0)) return true;  // no dose: harmless
    const auto rp = practicalRangeMm(slabs);
    return rp && *rp <= limitMm && !std::isnan(measuredLevels(slabs)[3]);
}

struct FittedPoints {
    std::vector<double> depthMm;
    std::vector<double> relative;  // measured dose / measured maximum
};

FittedPoints pointsToFit(const MeasuredCurve& measured, double fromMm, double toMm) {
    const double largest = *std::max_element(measured.dose.begin(), measured.dose.end());
    FittedPoints points;
    for (std::size_t i = 0; i < measured.depthMm.size(); ++i) {
        if (measured.depthMm[i] < fromMm || measured.depthMm[i] > toMm) continue;
        points.depthMm.push_back(measured.depthMm[i]);
        points.relative.push_back(measured.dose[i] / largest);
    }
    return points;
}

// The relative weights as the exchange file carries them and the simulator reads them back.
void takeSpectrum(const std::vector<double>& binWeight, float maxEnergyMeV, FreeFitResult& r) {
    const double largest = *std::max_element(binWeight.begin(), binWeight.begin() + BINS);
    r.spectrum = engine::Spectrum{};
    for (std::size_t j = 0; j < BINS; ++j) {
        const double relative = largest > 0.0 ? binWeight[j] / largest : 0.0;
        float asRead = weightAsRead(relative);
        if (asRead < engine::WEIGHT_FLOOR) asRead = 0.0f;
        r.relativeWeight[j] = asRead > 0.0f ? relative : 0.0;
        r.spectrum.relativeEnergy[j] = relativeBinEnergy(static_cast<int>(j) + 1);
        r.spectrum.binWeight[j] = asRead;
    }
    engine::normaliseSpectrum(r.spectrum, maxEnergyMeV);  // throws when every weight is below the floor
    std::size_t peak = 0;
    for (std::size_t j = 0; j < BINS; ++j) {
        const double energyMeV = static_cast<double>(r.spectrum.binEnergyKeV[j]) /
                                 static_cast<double>(engine::KEV_PER_MEV);
        r.meanEnergyMeV += static_cast<double>(r.spectrum.binWeight[j]) * energyMeV;
        if (r.spectrum.binWeight[j] > r.spectrum.binWeight[peak]) peak = j;
    }
    r.peakEnergyMeV = static_cast<double>(r.spectrum.binEnergyKeV[peak]) / static_cast<double>(engine::KEV_PER_MEV);
}

using LinearModel = FreeLinearModel;

// The measurement is read relative to its largest reading, and so are the model's curves, sampled
// or in 1 mm slabs. Where the fit leaves the model's maximum below the measured one (noise lifts the
// largest of many readings on a flat maximum, and where the model cannot follow the build-up it
// lowers its peak), the model relative to its own maximum stands higher in the shoulder than the
// measurement: R90 and R80 come out deeper (up to 0.8 mm on the 12-20 MeV test beams). So the model
// is held at most at the measured maximum at every measured depth and 1 mm slab, and at it where the
// measurement has its largest reading: both are then normalised alike.
void normaliseLikeTheMeasurement(const LinearModel& m, const MeasuredCurve& measured, PenalisedNnls& problem) {
    std::vector<double> rows;
    std::vector<double> lower;
    std::vector<double> upper;
    const auto top = static_cast<std::size_t>(std::max_element(measured.dose.begin(), measured.dose.end()) -
                                              measured.dose.begin());
    for (std::size_t i = 0; i < measured.depthMm.size(); ++i) {
        m.appendRow(measured.depthMm[i], rows);
        lower.push_back(i == top ? 1.0 : -std::numeric_limits<double>::infinity());
        upper.push_back(1.0);
    }
    for (int label = 1; label <= LAST_LABEL; ++label) {
        m.appendRow(label, rows);
        lower.push_back(-std::numeric_limits<double>::infinity());
        upper.push_back(1.0);
    }
    problem.setLinearConstraints(std::move(rows), std::move(lower), std::move(upper));
}

struct Bounds {
    std::vector<double> lower;
    std::vector<double> upper;
};

Bounds fitBounds(const std::vector<bool>& allowed, const std::optional<BackgroundLine>& background, double largest) {
    const std::size_t columns = BINS + (background ? 1 : 0);
    std::vector<double> lower(columns, 0.0);
    std::vector<double> upper(columns, std::numeric_limits<double>::infinity());
    for (std::size_t j = 0; j < BINS; ++j)
        if (!allowed[j]) upper[j] = 0.0;
    if (background) {
        // The tail holds photons only: its own line sets the height, within a band that leaves room
        // for the electrons' foot at its start and for noise, so that a misfit of the build-up
        // cannot trade the background away.
        const double tail = std::max(background->heightAtRp, 0.0) / largest;
        lower[BINS] = (1.0 - BACKGROUND_BAND) * tail;
        upper[BINS] = (1.0 + BACKGROUND_BAND) * tail;
    }
    return {lower, upper};
}

// The intervals about the fit's own values, the band about its spectrum normalised like it
// (largest 1), never below zero.
void takeUncertainty(FreeFitResult& r) {
    PosteriorSummary& u = *r.uncertainty;
    const auto place = [](Interval& i, double value) { i = Interval{value, value - i.low, value + i.high}; };
    place(u.energy[0], r.meanEnergyMeV);
    place(u.energy[1], r.peakEnergyMeV);
    for (std::size_t k = 0; k < LEVELS.size(); ++k) place(u.level[k], r.free[k]);
    double relativeSum = 0.0;
    for (double w : r.relativeWeight) relativeSum += w;
    for (std::size_t j = 0; j < BINS; ++j) {
        u.bandLow[j] = std::max(0.0, r.relativeWeight[j] - relativeSum * u.bandLow[j]);
        u.bandHigh[j] = r.relativeWeight[j] + relativeSum * u.bandHigh[j];
    }
}

// The model's curves from the spectrum as read (`size` turns its weights, which sum to 1, into the
// fitted ones over the basis scale) and the background's height, its rms residual and R-levels.
void takeCurves(const BinCurves& curves, double size, double amplitude, const MeasuredCurve& measured,
                const FittedPoints& points, FreeFitResult& r) {
    for (std::size_t j = 0; j < BINS; ++j) {
        const double w = static_cast<double>(r.spectrum.binWeight[j]) * size;
        for (std::size_t s = 0; s < r.electrons.size(); ++s) r.electrons[s] += w * curves[j][s];
    }
    for (std::size_t s = 0; s < r.model.size(); ++s) {
        const double depthMm = labelOfElement(s);
        // Slabs in front of the surface are in air: no photon dose there.
        r.backgroundDose[s] = r.background && depthMm > 0.0 ? amplitude * r.background->shapeAt(depthMm) : 0.0;
        r.model[s] = r.electrons[s] + r.backgroundDose[s];
    }
    const double modelMax = *std::max_element(r.model.begin(), r.model.end());
    r.backgroundHeight = amplitude;
    if (r.background) r.backgroundAtRpPercent = PERCENT * amplitude / modelMax;
    const auto modelAt = [&r](double depthMm) { return freeModelAt(r, depthMm); };
    double sum = 0.0;
    for (std::size_t i = 0; i < points.depthMm.size(); ++i) {
        const double d = modelAt(points.depthMm[i]) - points.relative[i];
        sum += d * d;
    }
    r.rmsPercent = PERCENT * std::sqrt(sum / static_cast<double>(points.depthMm.size()));
    MeasuredCurve sampled;
    sampled.depthMm = measured.depthMm;
    for (double depth : measured.depthMm) sampled.dose.push_back(modelAt(depth));
    r.free = measuredLevels(sampled);
    DepthCurve relativeModel = r.model;
    for (double& v : relativeModel) v /= modelMax;
    r.window = resultCurveLevels(relativeModel);
}

}  // namespace

double freeModelAt(const FreeFitResult& r, double depthMm) {
    return resultCurveAt(r.electrons, depthMm) +
           (r.background ? r.backgroundHeight * r.background->shapeAt(depthMm) : 0.0);
}

namespace {

// What the steps of one fit hand on to the next.
struct OneFit {
    OneFit(const ModelBasis& m, float emaxMeV, const MeasuredCurve& curve, const std::optional<BackgroundLine>& line,
           const FreeFitOptions& o, const std::string& name)
        : model(m), maxEnergyMeV(emaxMeV), measured(curve), background(line), options(o), fileName(name) {}

    const ModelBasis& model;
    float maxEnergyMeV;
    const MeasuredCurve& measured;
    const std::optional<BackgroundLine>& background;
    const FreeFitOptions& options;
    const std::string& fileName;

    FreeFitResult r;
    FittedPoints points;
    BinCurves curves;
    double scale = 0.0;
    std::vector<bool> allowed = std::vector<bool>(BINS, true);
    std::optional<LinearModel> linear;
    std::optional<PenalisedNnls> problem;
    Bounds bounds;
    PenalisedNnls::Solution solution;
};

void runStep(FreeFitStep step, OneFit& f) {
    FreeFitResult& r = f.r;
    switch (step) {
    case FreeFitStep::FittedDepths:
        r.maxEnergyMeV = f.maxEnergyMeV;
        r.background = f.background;
        r.measured = measuredLevels(f.measured);
        if (!f.background && std::isnan(r.measured[3]))
            throw engine::RunError(f.fileName, 0, "the dose never falls to 10 % of its maximum: no R10 to fit up to");
        r.fromDepthMm = f.options.fromDepthMm;
        r.toDepthMm = f.background ? f.measured.depthMm.back() : r.measured[3];
        f.points = pointsToFit(f.measured, r.fromDepthMm, r.toDepthMm);
        r.fittedPoints = static_cast<int>(f.points.depthMm.size());
        if (f.points.depthMm.size() < MIN_FITTED_POINTS)
            throw engine::RunError(f.fileName, 0,
                                   "only " + std::to_string(f.points.depthMm.size()) +
                                       " records between the surface region and the end of the fit: too few for "
                                       "a free-form spectrum");
        return;
    case FreeFitStep::BasisAtBins: {
        f.curves = f.model.binCurves(f.maxEnergyMeV);
        // Scale: 100 bins of weight 1 give a curve whose largest slab is 1.
        DepthCurve flat{};
        for (const DepthCurve& c : f.curves)
            for (std::size_t s = 0; s < flat.size(); ++s) flat[s] += c[s];
        f.scale = *std::max_element(flat.begin(), flat.end());
        if (!(f.scale > 0.0)) throw engine::RunError("The basis holds no dose.");
        return;
    }
    case FreeFitStep::ElectronReach:
        if (const auto rp = practicalRangeMm(f.measured)) {
            // The electrons reach the deepest fall-off: that of a second group of electrons when the
            // steepest one, which sets Rp, is the first (R10 lies beyond Rp then).
            const double reachMm = std::isnan(r.measured[3]) ? *rp : std::max(*rp, r.measured[3]);
            for (std::size_t j = 0; j < BINS; ++j)
                f.allowed[j] = withinReach(f.curves[j], ELECTRON_REACH_FACTOR * reachMm + ELECTRON_REACH_SLACK_MM);
        }
        return;
    case FreeFitStep::SmoothedProblem: {
        f.linear.emplace(LinearModel{f.curves, f.allowed, f.scale, f.background});
        std::vector<double> design;
        design.reserve(f.points.depthMm.size() * f.linear->columns());
        for (double depth : f.points.depthMm) f.linear->appendRow(depth, design);
        f.problem.emplace(std::move(design), f.points.relative, f.linear->columns(), BINS);
        return;
    }
    case FreeFitStep::BackgroundHeight:
        f.bounds = fitBounds(f.allowed, f.background, largestMeasured(f.measured));
        f.problem->setBounds(f.bounds.lower, f.bounds.upper);
        return;
    case FreeFitStep::HeldAtMeasuredMaximum: normaliseLikeTheMeasurement(*f.linear, f.measured, *f.problem); return;
    case FreeFitStep::Smoothing: {
        const auto chooseAndSolve = [&f] {
            return f.options.smooth ? f.problem->solve(*f.options.smooth)
                                    : f.problem->solveByEvidence(EVIDENCE_SMOOTH_LOWEST, SMOOTH_HIGHEST);
        };
        try {
            f.solution = chooseAndSolve();
        } catch (const engine::RunError&) {
            f.problem->setLinearConstraints({}, {}, {});
            f.solution = chooseAndSolve();
        }
        r.smooth = f.solution.smooth;
        r.smoothChosen = !f.options.smooth;
        r.effectiveParameters = f.solution.effectiveParameters;
        r.noisePercent = PERCENT * std::sqrt(f.solution.residualNoiseVariance);
        return;
    }
    case FreeFitStep::SpectrumAndCurves: {
        double weightSum = 0.0;
        for (std::size_t j = 0; j < BINS; ++j) weightSum += f.solution.x[j];
        if (!(weightSum > 0.0)) throw engine::RunError(f.fileName, 0, "no electron spectrum fits this measurement");
        takeSpectrum(f.solution.x, f.maxEnergyMeV, r);
        takeCurves(f.curves, weightSum / f.scale, f.background ? f.solution.x[BINS] : 0.0, f.measured, f.points, r);
        r.electronsOnly = resultCurveLevels(relativeModelCurve(f.curves, r.spectrum));
        return;
    }
    case FreeFitStep::Posterior:
        if (f.options.samples > 0) {
            PosteriorInput in;
            in.fittedDepthMm = f.points.depthMm;
            in.fittedRelative = f.points.relative;
            in.measuredDepthMm = f.measured.depthMm;
            in.lower = f.bounds.lower;
            in.upper = f.bounds.upper;
            in.solution = f.solution.x;
            in.binVariance = f.model.binVariances(f.maxEnergyMeV);
            in.smooth = std::max(f.solution.smooth, SMOOTH_LOWEST);
            // The readings' noise about the fit as reported, after the parameters it spent.
            in.noiseVariance = f.solution.residualNoiseVariance;
            in.maxEnergyMeV = f.maxEnergyMeV;
            in.samples = f.options.samples;
            r.uncertainty = samplePosterior(*f.linear, in);
            takeUncertainty(r);
        }
        return;
    }
}

}  // namespace

FreeFitResult fitFreeSpectrum(const ModelBasis& model, float maxEnergyMeV, const MeasuredCurve& measured,
                              const std::optional<BackgroundLine>& background, const FreeFitOptions& options,
                              const std::string& fileName) {
    OneFit f(model, maxEnergyMeV, measured, background, options, fileName);
    for (int i = 0; i < FREE_FIT_STEP_COUNT; ++i) runStep(static_cast<FreeFitStep>(i), f);
    return f.r;
}

}  // namespace fit
