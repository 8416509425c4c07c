// The free-form fit: the penalised non-negative solver, the background line, the fit on a basis
// whose truth is known, and the driver of its stages.
#include "fit/free_spectrum_fit.h"

#include "fit/free_fit_driver.h"

#include "engine/run_error.h"
#include "fit/penalised_nnls.h"
#include "fit/test_curves.h"
#include "synthetic_basis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

namespace {

// A Gaussian bump of `n` unknowns, blurred by a Gaussian of variance `blurVariance` (in unknowns)
// onto `rows` readings, `rowsPerUnknown` of them per unknown, with noise of `sigma` drawn from `seed`.
struct BlurredBump {
    std::vector<double> truth, design, data;
};
BlurredBump blurredBump(std::size_t n, std::size_t rows, double centre, double width, double rowsPerUnknown,
                        double blurVariance, std::uint64_t seed, double sigma) {
    BlurredBump b{std::vector<double>(n), std::vector<double>(rows * n), std::vector<double>(rows, 0.0)};
    for (std::size_t j = 0; j < n; ++j)
        b.truth[j] = std::exp(-0.5 * std::pow((static_cast<double>(j) - centre) / width, 2));
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    for (std::size_t i = 0; i < rows; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const double d = static_cast<double>(i) / rowsPerUnknown - static_cast<double>(j);
            b.design[i * n + j] = std::exp(-0.5 * d * d / blurVariance);
            b.data[i] += b.design[i * n + j] * b.truth[j];
        }
        b.data[i] += noise(generator);
    }
    return b;
}

TEST(PenalisedNnls, KeepsUnknownsNonNegativeWithinBoundsAndSmoothsAsAsked) {
    // Identity design: without penalty the answer is the data with its negative entries at zero.
    const std::size_t n = 6;
    std::vector<double> design(n * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) design[j * n + j] = 1.0;
    const std::vector<double> data = {1.0, -0.5, 2.0, 0.25, -1.0, 3.0};
    fit::PenalisedNnls problem(design, data, n, n);
    const auto plain = problem.solve(0.0);
    for (std::size_t j = 0; j < n; ++j) EXPECT_NEAR(plain.x[j], std::max(data[j], 0.0), 1e-9) << j;
    EXPECT_NEAR(plain.residualSumOfSquares, 0.25 + 1.0, 1e-9);

    // A strong penalty leaves no curvature: the unknowns lie on a straight line.
    const auto stiff = problem.solve(1e6);
    for (std::size_t j = 1; j + 1 < n; ++j)
        EXPECT_NEAR(stiff.x[j - 1] - 2.0 * stiff.x[j] + stiff.x[j + 1], 0.0, 1e-4) << j;
    EXPECT_LT(stiff.effectiveParameters, plain.effectiveParameters);

    std::vector<double> lower(n, 0.0);
    std::vector<double> upper(n, std::numeric_limits<double>::infinity());
    upper[2] = 0.0;  // a bin the data must not use
    lower[5] = 3.5;  // an amplitude held in a band
    upper[5] = 4.0;
    problem.setBounds(lower, upper);
    const auto bounded = problem.solve(0.0);
    EXPECT_NEAR(bounded.x[2], 0.0, 1e-9);
    EXPECT_NEAR(bounded.x[5], 3.5, 1e-9);
    EXPECT_NEAR(bounded.x[0], 1.0, 1e-9);
    EXPECT_THROW(problem.setBounds(upper, lower), std::invalid_argument);
}

TEST(PenalisedNnls, KeepsGeneralLinearConstraints) {
    // Identity design on four unknowns: unconstrained, x is the data.
    const std::size_t n = 4;
    std::vector<double> design(n * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) design[j * n + j] = 1.0;
    fit::PenalisedNnls problem(design, {1.0, 2.0, 3.0, 0.5}, n, n);
    // x0 + x1 = 4 shares the excess equally; x2 + x3 <= 2 would take 0.75 off each, but x3 cannot go
    // below zero, so x2 takes it all.
    const double inf = std::numeric_limits<double>::infinity();
    problem.setLinearConstraints({1, 1, 0, 0, 0, 0, 1, 1}, {4.0, -inf}, {4.0, 2.0});
    const auto x = problem.solve(0.0).x;
    EXPECT_NEAR(x[0], 1.5, 1e-6);
    EXPECT_NEAR(x[1], 2.5, 1e-6);
    EXPECT_NEAR(x[2], 2.0, 1e-6);
    EXPECT_NEAR(x[3], 0.0, 1e-6);
    EXPECT_THROW(problem.setLinearConstraints({1, 1, 0}, {0.0}, {1.0}), std::invalid_argument);
    // Constraints that no non-negative x meets are reported, not answered.
    problem.setLinearConstraints({1, 1, 1, 1}, {-inf}, {-1.0});
    EXPECT_THROW(problem.solve(0.0), engine::RunError);
}

TEST(PenalisedNnls, CrossValidationPrefersTheTrueSmoothnessOverBothEnds) {
    // Noisy samples of a smooth non-negative function through a blurring design: GCV must pick an
    // interior strength that recovers the function better than no smoothing does.
    const std::size_t n = 40;
    const std::size_t rows = 80;
    const BlurredBump bump = blurredBump(n, rows, 25.0, 5.0, 2.0, 9.0, 7, 0.01);
    const std::vector<double>& truth = bump.truth;
    const fit::PenalisedNnls problem(bump.design, bump.data, n, n);
    const auto chosen = problem.solveWithChosenSmooth(1e-8, 1e4);
    EXPECT_GT(chosen.smooth, 1e-7);
    EXPECT_LT(chosen.smooth, 1e3);
    auto error = [&](const std::vector<double>& x) {
        double sum = 0.0;
        for (std::size_t j = 0; j < n; ++j) sum += (x[j] - truth[j]) * (x[j] - truth[j]);
        return std::sqrt(sum / static_cast<double>(n));
    };
    EXPECT_LT(error(chosen.x), 0.05);
    EXPECT_LT(error(chosen.x), error(problem.solve(1e-8).x));
    EXPECT_LE(chosen.gcv, problem.solve(1e-8).gcv);
    EXPECT_LE(chosen.gcv, problem.solve(1e4).gcv);
}

TEST(PenalisedNnls, LargestEvidenceFindsTheNoiseAndAnInteriorSmoothness) {
    // The blurred smooth function of the test above with noise of known level: the strength of largest
    // evidence recovers the function and its noise level, and its evidence beats both ends.
    constexpr double SIGMA = 0.01;
    const std::size_t n = 40;
    const std::size_t rows = 120;
    const BlurredBump bump = blurredBump(n, rows, 22.0, 6.0, 3.0, 4.0, 11, SIGMA);
    const std::vector<double>& truth = bump.truth;
    const fit::PenalisedNnls problem(bump.design, bump.data, n, n);
    const auto chosen = problem.solveByEvidence(1e-8, 1e4);
    EXPECT_GT(chosen.smooth, 1e-6);
    EXPECT_LT(chosen.smooth, 1e3);
    EXPECT_NEAR(std::sqrt(chosen.noiseVariance), SIGMA, 0.25 * SIGMA);
    EXPECT_GT(chosen.logEvidence, problem.solve(1e-8).logEvidence);
    EXPECT_GT(chosen.logEvidence, problem.solve(1e4).logEvidence);
    double error = 0.0;
    double rough = 0.0;
    const auto unsmoothed = problem.solve(1e-8);
    for (std::size_t j = 0; j < n; ++j) {
        error += (chosen.x[j] - truth[j]) * (chosen.x[j] - truth[j]);
        rough += (unsmoothed.x[j] - truth[j]) * (unsmoothed.x[j] - truth[j]);
    }
    EXPECT_LT(std::sqrt(error / n), 0.05);
    EXPECT_LT(error, rough);
    // No smoothing has no evidence to speak of.
    EXPECT_EQ(problem.solve(0.0).logEvidence, -std::numeric_limits<double>::infinity());
    // The choice stays within the range it is given, also where the evidence would go on beyond it.
    EXPECT_GE(problem.solveByEvidence(10.0, 1e4).smooth, 10.0);
    EXPECT_LE(problem.solveByEvidence(1e-12, 1e-10).smooth, 1e-10);
    // The noise left after the spent parameters is the larger estimate, and the one near the truth.
    EXPECT_GT(chosen.residualNoiseVariance, chosen.residualSumOfSquares / static_cast<double>(rows));
    EXPECT_NEAR(std::sqrt(chosen.residualNoiseVariance), SIGMA, 0.25 * SIGMA);
}

fit::MeasuredCurve lineTail(double rpMm, double lastMm, double atRp, double slopePerMm) {
    fit::MeasuredCurve c;
    for (double z = 1.0; z <= lastMm; z += 1.0) {
        c.depthMm.push_back(z);
        c.dose.push_back(z < rpMm ? 100.0 - z : atRp + slopePerMm * (z - rpMm));
    }
    return c;
}

TEST(BackgroundLine, TellsASecondFallOffOfElectronsFromPhotons) {
    // Rp found on the fall-off of a first group of electrons; beyond it a second group holds 30 %
    // and falls off itself by 70 mm: no background unless forced.
    fit::MeasuredCurve twoGroups = lineTail(40.0, 80.0, 30.0, 0.0);
    for (std::size_t i = 0; i < twoGroups.depthMm.size(); ++i)
        if (twoGroups.depthMm[i] > 60.0) twoGroups.dose[i] = std::max(1.0, 30.0 - 3.0 * (twoGroups.depthMm[i] - 60.0));
    std::string whyNone;
    EXPECT_FALSE(fit::backgroundLine(twoGroups, 40.0, fit::BackgroundMode::Automatic, "m.csv", &whyNone));
    EXPECT_NE(whyNone.find("more than photons give"), std::string::npos) << whyNone;
    // A low tail that falls 5 % per mm is electrons too.
    EXPECT_FALSE(
        fit::backgroundLine(lineTail(40.0, 60.0, 2.0, -0.1), 40.0, fit::BackgroundMode::Automatic, "m.csv", &whyNone));
    EXPECT_NE(whyNone.find("faster than photons"), std::string::npos) << whyNone;
    EXPECT_TRUE(fit::backgroundLine(twoGroups, 40.0, fit::BackgroundMode::On, "m.csv").has_value());
}

TEST(BackgroundLine, FollowsTheTailAndIsRefusedOnlyWhenForcedOnAShortCurve) {
    const auto line = fit::backgroundLine(lineTail(40.0, 60.0, 2.0, -0.01), 40.0, fit::BackgroundMode::Automatic,
                                          "m.csv");
    ASSERT_TRUE(line.has_value());
    EXPECT_NEAR(line->heightAtRp, 2.0, 1e-9);
    EXPECT_NEAR(line->relativeSlopePerMm, -0.005, 1e-9);
    EXPECT_NEAR(line->lineAt(0.0), 1.2, 1e-9);
    EXPECT_EQ(line->tailPoints, 18);
    // Under the surface the photons build up: half the line is missing at the surface, none at Rp and
    // beyond, and the shape grows with depth in between.
    EXPECT_NEAR(line->shapeAt(40.0), 1.0, 1e-12);
    EXPECT_NEAR(line->buildUpAt(0.0), 0.5 / (1.0 - 0.5 * std::exp(-1.0 / 0.3)), 1e-12);
    EXPECT_NEAR(line->shapeAt(0.0), line->lineAt(0.0) * line->buildUpAt(0.0), 1e-12);
    EXPECT_NEAR(line->buildUpAt(80.0), 1.0, 0.02);
    for (double z = 1.0; z < 40.0; z += 1.0) EXPECT_LT(line->buildUpAt(z - 1.0), line->buildUpAt(z)) << z;
    // A tail falling faster than photons are attenuated is the electrons' foot: at most 0.5 % per mm.
    // A rising one is noise: flat.
    const auto steep = fit::backgroundLine(lineTail(40.0, 60.0, 2.0, -0.1), 40.0, fit::BackgroundMode::On, "m.csv");
    EXPECT_NEAR(steep->relativeSlopePerMm, -0.005, 1e-12);
    const auto rising = fit::backgroundLine(lineTail(40.0, 60.0, 2.0, 0.02), 40.0, fit::BackgroundMode::On, "m.csv");
    EXPECT_EQ(rising->relativeSlopePerMm, 0.0);

    const fit::MeasuredCurve shortCurve = lineTail(40.0, 46.0, 2.0, 0.0);
    std::string whyNone;
    EXPECT_FALSE(fit::backgroundLine(shortCurve, 40.0, fit::BackgroundMode::Automatic, "m.csv", &whyNone));
    EXPECT_NE(whyNone.find("ends less than 10.0 mm beyond"), std::string::npos) << whyNone;
    EXPECT_FALSE(fit::backgroundLine(lineTail(40.0, 60.0, 2.0, 0.0), 40.0, fit::BackgroundMode::Off, "m.csv"));
    try {
        fit::backgroundLine(shortCurve, 40.0, fit::BackgroundMode::On, "short.csv");
        ADD_FAILURE() << "a forced background on a short tail must be refused";
    } catch (const engine::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("short.csv"), std::string::npos) << e.what();
    }
}

// A measurement made from the synthetic basis itself: a spectrum with a low-energy tail that the
// Beta model could not shape, plus a 2 % background line, at 2 mm steps.
struct KnownBeam {
    fit::ModelBasis model{fit_testing::syntheticBasis(12.0f)};
    fit::MeasuredCurve measured;
    double backgroundPercent = 2.0;
    fit::LevelDepths electronLevels{};
};

KnownBeam knownBeam(double lastDepthMm = 80.0) {
    KnownBeam k;
    const fit::BinCurves curves = k.model.binCurves(12.0f);
    fit::DepthCurve electrons{};
    for (std::size_t j = 0; j < curves.size(); ++j) {
        const double x = static_cast<double>(j + 1) / 100.0;
        const double w = std::exp(-0.5 * std::pow((x - 0.8) / 0.04, 2)) + (x > 0.3 && x < 0.8 ? 0.1 : 0.0);
        for (std::size_t s = 0; s < electrons.size(); ++s) electrons[s] += w * curves[j][s];
    }
    const double largest = *std::max_element(electrons.begin(), electrons.end());
    for (double& v : electrons) v /= largest;
    k.electronLevels = fit::resultCurveLevels(electrons);
    for (double z = 1.0; z <= lastDepthMm; z += 2.0) {
        k.measured.depthMm.push_back(z);
        k.measured.dose.push_back(100.0 * fit::resultCurveAt(electrons, z) +
                                  k.backgroundPercent * (1.0 - 0.002 * (z - 50.0)));
    }
    return k;
}

TEST(FreeSpectrumFit, RecoversABeamWithATailAndItsBackground) {
    const KnownBeam k = knownBeam();
    const auto rp = fit::practicalRangeMm(k.measured);
    ASSERT_TRUE(rp.has_value());
    const auto line = fit::backgroundLine(k.measured, *rp, fit::BackgroundMode::Automatic, "known.csv");
    ASSERT_TRUE(line.has_value());
    const fit::FreeFitResult r = fit::fitFreeSpectrum(k.model, 12.0f, k.measured, line, {}, "known.csv");
    EXPECT_LT(r.rmsPercent, 0.5);
    for (std::size_t level = 0; level < 4; ++level) EXPECT_NEAR(r.free[level], r.measured[level], 0.2) << level;
    // The smooth curves of this basis end in a long foot that the tail's first points still hold: the
    // background comes out somewhat high, within the band the tail's own line allows.
    EXPECT_NEAR(r.backgroundAtRpPercent, k.backgroundPercent * (1.0 - 0.002 * (*rp - 50.0)), 0.6);
    // The spectrum peaks where the beam does, and the run of it lacks the background: its R50 and
    // R10 lie shallower than the measurement's.
    EXPECT_NEAR(r.peakEnergyMeV, 0.8 * 12.0, 0.5);
    EXPECT_NEAR(std::accumulate(r.spectrum.binWeight.begin(), r.spectrum.binWeight.end(), 0.0), 1.0, 1e-5);
    EXPECT_NEAR(r.electronsOnly[2], k.electronLevels[2], 0.3);
    EXPECT_LT(r.electronsOnly[3], r.measured[3]);
    // No bin of the exchange file lies above the most energetic electrons the fall-off allows.
    EXPECT_EQ(r.relativeWeight[99], 0.0);

    // Without the background the fit stops at R10 and reports none.
    const fit::FreeFitResult off = fit::fitFreeSpectrum(k.model, 12.0f, k.measured, std::nullopt, {}, "known.csv");
    EXPECT_EQ(off.backgroundAtRpPercent, 0.0);
    EXPECT_NEAR(off.toDepthMm, off.measured[3], 1e-12);
    // A given smoothing is used as given.
    fit::FreeFitOptions given;
    given.smooth = 1e-3;
    EXPECT_EQ(fit::fitFreeSpectrum(k.model, 12.0f, k.measured, line, given, "known.csv").smooth, 1e-3);
}

fit::FreeFitResult fitWithBackground(const fit::ModelBasis& model, const fit::MeasuredCurve& measured) {
    const auto line = fit::backgroundLine(measured, *fit::practicalRangeMm(measured), fit::BackgroundMode::On, "k.csv");
    return fit::fitFreeSpectrum(model, 12.0f, measured, line, {}, "k.csv");
}

TEST(FreeSpectrumFit, NormalisesTheModelAsTheMeasurementIsNormalised) {
    // One reading at the maximum lifted by 1 % (noise): the measurement relative to it stands 1 %
    // lower in the shoulder, where the gradient is about 3 % per mm. The model must be read the same
    // way, or its R90 would lie some 0.3 mm deeper.
    KnownBeam k = knownBeam();
    const auto top = std::max_element(k.measured.dose.begin(), k.measured.dose.end());
    *top *= 1.01;
    const fit::FreeFitResult r = fitWithBackground(k.model, k.measured);
    for (std::size_t level = 0; level < 3; ++level) EXPECT_NEAR(r.free[level], r.measured[level], 0.1) << level;
    // The model reaches the measured maximum where the measurement has it, and its 1 mm slabs (what
    // the window searches) nowhere exceed it.
    const double topDepth = k.measured.depthMm[static_cast<std::size_t>(top - k.measured.dose.begin())];
    EXPECT_NEAR(fit::resultCurveAt(r.model, topDepth), 1.0, 1e-4);
    EXPECT_LE(*std::max_element(r.model.begin(), r.model.end()), 1.0 + 1e-4);
}

TEST(FreeSpectrumFit, IntervalsHoldTheTruthOfAKnownBeamAndTheBandHoldsItsSpectrum) {
    // The known beam's electrons with 0.3 % noise: the 95 % intervals of the mean energy and of R50 hold the
    // spectrum's own mean and the noise-free curve's R50, and are neither empty nor wide only to be
    // safe; without samples there is no uncertainty.
    KnownBeam k = knownBeam();
    fit::MeasuredCurve electronsOnly = k.measured;
    for (std::size_t i = 0; i < electronsOnly.dose.size(); ++i)
        electronsOnly.dose[i] -= k.backgroundPercent * (1.0 - 0.002 * (electronsOnly.depthMm[i] - 50.0));
    double weightSum = 0.0;
    double trueMeanMeV = 0.0;
    for (std::size_t j = 0; j < 100; ++j) {
        const double x = static_cast<double>(j + 1) / 100.0;
        const double w = std::exp(-0.5 * std::pow((x - 0.8) / 0.04, 2)) + (x > 0.3 && x < 0.8 ? 0.1 : 0.0);
        weightSum += w;
        trueMeanMeV += w * x * 12.0;
    }
    trueMeanMeV /= weightSum;
    // The electrons alone, fitted to R10.
    std::mt19937_64 generator(5);
    std::normal_distribution<double> noise(0.0, 0.003);
    for (std::size_t i = 0; i < k.measured.dose.size(); ++i) {
        k.measured.dose[i] -= k.backgroundPercent * (1.0 - 0.002 * (k.measured.depthMm[i] - 50.0));
        k.measured.dose[i] *= 1.0 + noise(generator);
    }
    const fit::LevelDepths exact = fit::measuredLevels(electronsOnly);
    const std::optional<fit::BackgroundLine> line;
    fit::FreeFitOptions options;
    options.samples = 200;
    const fit::FreeFitResult r = fit::fitFreeSpectrum(k.model, 12.0f, k.measured, line, options, "k.csv");
    ASSERT_TRUE(r.uncertainty.has_value());
    const fit::PosteriorSummary& u = *r.uncertainty;
    EXPECT_EQ(u.samples, 200);
    EXPECT_EQ(u.energy[0].value, r.meanEnergyMeV);
    EXPECT_LE(u.energy[0].low, trueMeanMeV);
    EXPECT_GE(u.energy[0].high, trueMeanMeV);
    EXPECT_GT(u.energy[0].high - u.energy[0].low, 0.01);
    EXPECT_LT(u.energy[0].high - u.energy[0].low, 1.0);
    EXPECT_EQ(u.level[2].value, r.free[2]);
    EXPECT_LE(u.level[2].low, exact[2]);
    EXPECT_GE(u.level[2].high, exact[2]);
    EXPECT_LT(u.level[2].high - u.level[2].low, 1.0);
    for (std::size_t j = 0; j < 100; ++j) {
        EXPECT_LE(u.bandLow[j], r.relativeWeight[j]) << j;
        EXPECT_GE(u.bandHigh[j], r.relativeWeight[j]) << j;
    }
    options.samples = 0;
    EXPECT_FALSE(fit::fitFreeSpectrum(k.model, 12.0f, k.measured, line, options, "k.csv").uncertainty.has_value());
    EXPECT_EQ(fit::quantile({3.0, 1.0, 2.0, std::nan("")}, 0.5), 2.0);
    EXPECT_EQ(fit::quantile({0.0, 10.0}, 0.25), 2.5);
    EXPECT_TRUE(std::isnan(fit::quantile({}, 0.5)));
}

TEST(FreeSpectrumFit, KeepsTheBackgroundBeyondTheSlabs) {
    // Measured to 130 mm: beyond the last 1 mm slab (110 mm) the electrons are gone, the background
    // is not, and the residual there is as small as anywhere.
    const KnownBeam k = knownBeam(130.0);
    const fit::FreeFitResult r = fitWithBackground(k.model, k.measured);
    EXPECT_EQ(r.toDepthMm, 129.0);
    EXPECT_LT(r.rmsPercent, 0.5);
}

TEST(FreeSpectrumFit, RefusesAMeasurementWithoutAFallOff) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(12.0f));
    fit::MeasuredCurve flat;
    for (double z = 1.0; z <= 40.0; z += 2.0) {
        flat.depthMm.push_back(z);
        flat.dose.push_back(90.0 + 0.1 * z);
    }
    try {
        fit::fitFreeSpectrum(model, 12.0f, flat, std::nullopt, {}, "flat.csv");
        ADD_FAILURE() << "a curve without R10 cannot be fitted";
    } catch (const engine::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("flat.csv"), std::string::npos) << e.what();
    }
}

// The known beam's electrons scanned as a sparse tank measurement: every `stepMm` to just beyond
// R10, each reading with relative noise of `noise` (fixed seed).
fit::MeasuredCurve sparseScan(const KnownBeam& k, double stepMm, double noise, std::uint64_t seed) {
    const fit::BinCurves curves = k.model.binCurves(12.0f);
    fit::DepthCurve electrons{};
    for (std::size_t j = 0; j < curves.size(); ++j) {
        const double x = static_cast<double>(j + 1) / 100.0;
        const double w = std::exp(-0.5 * std::pow((x - 0.8) / 0.04, 2)) + (x > 0.3 && x < 0.8 ? 0.1 : 0.0);
        for (std::size_t s = 0; s < electrons.size(); ++s) electrons[s] += w * curves[j][s];
    }
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    fit::MeasuredCurve scan;
    for (double z = 1.0; z <= k.electronLevels[3] + stepMm; z += stepMm) {
        scan.depthMm.push_back(z);
        scan.dose.push_back(fit::resultCurveAt(electrons, z) * (1.0 + noise * normal(generator)));
    }
    return scan;
}

TEST(FreeSpectrumFit, ASparseScanIsNotFittedThroughEveryReadingAndItsIntervalsFollowTheNoise) {
    // At 3 mm steps fifteen readings lie before R10. The evidence, with the noise level its own free
    // parameter, ran on towards a spectrum through all of them (rms a tenth of the noise); the fit
    // stays at or above its weakest smoothing, reports a noise of the readings' order, and its
    // intervals narrow as the noise falls.
    const KnownBeam k = knownBeam();
    fit::FreeFitOptions options;
    options.samples = 40;
    const std::optional<fit::BackgroundLine> none;
    double r50WidthAt4 = 0.0;
    for (const std::uint64_t seed : {3u, 4u, 5u}) {
        const fit::MeasuredCurve scan = sparseScan(k, 3.0, 0.004, seed);
        const fit::FreeFitResult r = fit::fitFreeSpectrum(k.model, 12.0f, scan, none, options, "sparse.csv");
        EXPECT_GE(r.smooth, fit::EVIDENCE_SMOOTH_LOWEST) << seed;
        EXPECT_GT(r.rmsPercent, 0.15 * 0.4) << seed;
        EXPECT_GT(r.noisePercent, 0.3 * 0.4) << seed;
        EXPECT_LT(r.noisePercent, 2.0 * 0.4) << seed;
        ASSERT_TRUE(r.uncertainty.has_value());
        r50WidthAt4 += r.uncertainty->level[2].high - r.uncertainty->level[2].low;
    }
    double r50WidthAt1 = 0.0;
    for (const std::uint64_t seed : {3u, 4u, 5u}) {
        const fit::MeasuredCurve scan = sparseScan(k, 3.0, 0.001, seed);
        const fit::FreeFitResult r = fit::fitFreeSpectrum(k.model, 12.0f, scan, none, options, "sparse.csv");
        ASSERT_TRUE(r.uncertainty.has_value());
        r50WidthAt1 += r.uncertainty->level[2].high - r.uncertainty->level[2].low;
    }
    EXPECT_LT(r50WidthAt1, 0.6 * r50WidthAt4);
}

// The driver's run on the known beam, the stages seen by the hooks as they start and finish.
struct StagedRun {
    fit::FreeFitRun run;
    std::vector<fit::FreeFitStage> started;
    std::vector<fit::FreeFitStage> finished;
    int basisCalls = 0;
    std::optional<fit::FreeFitStage> cancelAfter;
    bool basisCancelled = false;
    std::atomic<bool> cancel{false};

    explicit StagedRun(fit::MeasuredCurve measured, fit::BackgroundMode mode = fit::BackgroundMode::Automatic) {
        run.measured = std::move(measured);
        run.fileName = "staged.csv";
        run.backgroundMode = mode;
        run.options.samples = 0;
    }
    fit::FreeFitOutcome go() {
        fit::FreeFitHooks hooks;
        hooks.maxEnergy = [](const fit::FreeFitRun&) { return 12.0f; };
        hooks.basis = [this](const fit::FreeFitRun&) -> std::optional<fit::ModelBasis> {
            ++basisCalls;
            if (basisCancelled) return std::nullopt;
            return fit::ModelBasis(fit_testing::syntheticBasis(12.0f));
        };
        hooks.starting = [this](fit::FreeFitStage s, const fit::FreeFitRun&) { started.push_back(s); };
        hooks.finished = [this](fit::FreeFitStage s, const fit::FreeFitRun&) {
            finished.push_back(s);
            if (cancelAfter == s) cancel = true;
        };
        return fit::runFreeFitStages(run, hooks, &cancel);
    }
};

std::vector<fit::FreeFitStage> stagesUpTo(fit::FreeFitStage last) {
    std::vector<fit::FreeFitStage> stages;
    for (int i = 0; i <= static_cast<int>(last); ++i) stages.push_back(static_cast<fit::FreeFitStage>(i));
    return stages;
}

TEST(FreeFitStages, RunInTheListedOrderAndHandTheRefitWithoutBackgroundToTheRun) {
    StagedRun withTail(knownBeam().measured);
    ASSERT_EQ(withTail.go(), fit::FreeFitOutcome::Done);
    const auto every = stagesUpTo(fit::FreeFitStage::RunSpectrum);
    EXPECT_EQ(withTail.started, every);
    EXPECT_EQ(withTail.finished, every);
    const fit::FreeFitRun& r = withTail.run;
    ASSERT_TRUE(r.background.has_value());
    ASSERT_TRUE(r.result.has_value());
    ASSERT_TRUE(r.forRun.has_value());
    EXPECT_TRUE(r.whyNoBackground.empty());
    // The run's spectrum: no background, fitted to R10, at the smoothing of the whole model.
    EXPECT_FALSE(r.forRun->background.has_value());
    EXPECT_NEAR(r.forRun->toDepthMm, r.forRun->measured[3], 1e-12);
    EXPECT_EQ(r.forRun->smooth, r.result->smooth);
    EXPECT_TRUE(r.result->smoothChosen);
    EXPECT_EQ(r.result->window, r.forRun->window);
    EXPECT_EQ(r.practicalRangeMm, fit::practicalRangeMm(r.measured));

    // Switched off: no refit, and the reason the record gives.
    StagedRun off(knownBeam().measured, fit::BackgroundMode::Off);
    ASSERT_EQ(off.go(), fit::FreeFitOutcome::Done);
    EXPECT_EQ(off.started, every);
    EXPECT_FALSE(off.run.forRun.has_value());
    EXPECT_EQ(off.run.whyNoBackground, "switched off by --background off");
}

TEST(FreeFitStages, StopAtACancelBetweenStagesAndRefuseACurveBeforeTheBasis) {
    StagedRun early(knownBeam().measured);
    early.cancelAfter = fit::FreeFitStage::Background;
    EXPECT_EQ(early.go(), fit::FreeFitOutcome::Cancelled);
    EXPECT_EQ(early.started, stagesUpTo(fit::FreeFitStage::Background));
    EXPECT_EQ(early.basisCalls, 0);

    StagedRun late(knownBeam().measured);
    late.cancelAfter = fit::FreeFitStage::Basis;
    EXPECT_EQ(late.go(), fit::FreeFitOutcome::Cancelled);
    EXPECT_EQ(late.started, stagesUpTo(fit::FreeFitStage::Basis));
    EXPECT_FALSE(late.run.result.has_value());

    // A basis cancelled inside its own stage: nothing is fitted and the stage does not report.
    StagedRun noBasis(knownBeam().measured);
    noBasis.basisCancelled = true;
    EXPECT_EQ(noBasis.go(), fit::FreeFitOutcome::Cancelled);
    EXPECT_EQ(noBasis.finished, stagesUpTo(fit::FreeFitStage::Background));
    EXPECT_FALSE(noBasis.run.result.has_value());

    // A curve without a fall-off is refused by the first stage: no basis is asked for.
    fit::MeasuredCurve flat;
    for (double z = 1.0; z <= 60.0; z += 1.0) {
        flat.depthMm.push_back(z);
        flat.dose.push_back(100.0);
    }
    StagedRun refused(flat);
    try {
        refused.go();
        ADD_FAILURE() << "a curve without a fall-off was fitted";
    } catch (const engine::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("staged.csv"), std::string::npos) << e.what();
    }
    EXPECT_EQ(refused.started, stagesUpTo(fit::FreeFitStage::PracticalRange));
    EXPECT_TRUE(refused.finished.empty());
    EXPECT_EQ(refused.basisCalls, 0);
}

}  // namespace
