#include "fit/spectrum_fit.h"

#include "engine/run_error.h"
#include "fit/beta_weights.h"
#include "synthetic_basis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A "measurement" made by the model itself at given parameters, at the label depths 1..110 mm.
fit::MeasuredCurve modelMeasurement(const fit::ModelBasis& model, double alpha, double beta, float maxEnergy,
                                    double scale) {
    const fit::DepthCurve curve = fit::relativeModelCurve(model.binCurves(maxEnergy),
                                                          *fit::simulatorSpectrum(alpha, beta, maxEnergy));
    fit::MeasuredCurve measured;
    for (int label = 1; label <= 110; ++label) {
        measured.depthMm.push_back(label);
        measured.dose.push_back(scale * curve[static_cast<std::size_t>(label + 14)]);
    }
    return measured;
}

TEST(SpectrumFit, RecoversTheParametersOfItsOwnModelCurve) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(9.0f));
    const fit::MeasuredCurve measured = modelMeasurement(model, 6.3, 2.4, 9.0f, 87.0);

    fit::FitOptions fixed;
    fixed.mode = fit::MaxEnergyMode::Fixed;
    fixed.centreMaxEnergyMeV = 9.0;
    const fit::FitResult f = fit::SpectrumFit(model, measured, fixed).run();
    EXPECT_DOUBLE_EQ(f.onGrid.alpha, 6.3);
    EXPECT_DOUBLE_EQ(f.onGrid.beta, 2.4);
    EXPECT_DOUBLE_EQ(f.onGrid.maxEnergyMeV, 9.0);
    EXPECT_LT(f.onGrid.rmsPercent, 1e-9);
    EXPECT_LE(f.continuous.rmsPercent, f.onGrid.rmsPercent);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(f.onGrid.levels[k], f.measured[k], 0.02);
    EXPECT_DOUBLE_EQ(f.toDepthMm, f.measured[3]);

    // Started 5 % low, the free energy finds its way back.
    fit::FitOptions free;
    free.centreMaxEnergyMeV = 8.6;
    const fit::FitResult g = fit::SpectrumFit(model, measured, free).run();
    EXPECT_NEAR(g.onGrid.maxEnergyMeV, 9.0, 0.1001);
    EXPECT_LT(g.onGrid.rmsPercent, 0.2);
    EXPECT_NEAR(g.onGrid.levels[2], g.measured[2], 0.1);
    EXPECT_FALSE(g.maxEnergyAtLimit);

    // Started 15 % low with a span of 5 %, it stops at the edge and says so.
    fit::FitOptions narrow;
    narrow.centreMaxEnergyMeV = 7.8;
    narrow.maxEnergySpan = 0.05;
    const fit::FitResult h = fit::SpectrumFit(model, measured, narrow).run();
    EXPECT_TRUE(h.maxEnergyAtLimit);
    EXPECT_DOUBLE_EQ(h.onGrid.maxEnergyMeV, 8.2);
    EXPECT_LE(h.continuous.maxEnergyMeV, 8.2 + 1e-9);  // the continuous optimum keeps to the span too
}

TEST(SpectrumFit, ObjectiveRefusesWhatCannotBeRun) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(9.0f));
    const fit::MeasuredCurve measured = modelMeasurement(model, 8.0, 2.0, 9.0f, 1.0);
    fit::SpectrumFit fit(model, measured, fit::FitOptions{});
    EXPECT_TRUE(std::isinf(fit.objective(0.05, 2.0, 9.0)));  // below the scroll bar
    EXPECT_TRUE(std::isinf(fit.objective(8.0, 20.5, 9.0)));  // above it
    EXPECT_TRUE(std::isinf(fit.objective(8.0, 2.0, 10.0)));  // beyond the span of +-10 %
    EXPECT_TRUE(std::isinf(fit.objective(8.0, 2.0, 8.05)));
    EXPECT_TRUE(std::isfinite(fit.objective(8.0, 2.0, 9.9)));
    fit::FitOptions wide;
    wide.maxEnergySpan = 0.2;
    fit::SpectrumFit wideFit(model, measured, wide);
    EXPECT_TRUE(std::isinf(wideFit.objective(8.0, 2.0, 10.2)));  // beyond the basis
    EXPECT_TRUE(std::isfinite(wideFit.objective(8.0, 2.0, 10.0)));
}

TEST(SpectrumFit, RefusesMeasurementsWithoutAFallOffToFit) {
    const fit::ModelBasis model(fit_testing::syntheticBasis(9.0f));
    fit::MeasuredCurve noR10{{1.0, 10.0, 20.0}, {80.0, 100.0, 60.0}};
    EXPECT_THROW(fit::SpectrumFit(model, noR10, fit::FitOptions{}), engine::RunError);
    fit::MeasuredCurve tooFew{{1.0, 6.0, 40.0}, {80.0, 100.0, 0.0}};
    EXPECT_THROW(fit::SpectrumFit(model, tooFew, fit::FitOptions{}), engine::RunError);
}

}  // namespace
