// The free-form fit as the fit window reads it, against the fit's own report and RESULT writers,
// and the rerun that writes the exchange files.
#include "viewers/free_fit_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fit/free_fit_report.h"

using namespace orvalis::viewers;

namespace {

constexpr double NOT_FOUND = std::numeric_limits<double>::quiet_NaN();

// A free-form result as the fit makes it: bins 30 to 97 filled (a low-energy plateau under a
// peak at bin 85), a level the model never reaches.
fit::FreeFitResult fittedResult() {
    fit::FreeFitResult r;
    r.maxEnergyMeV = 11.2f;
    for (std::size_t j = 0; j < r.relativeWeight.size(); ++j) {
        const double bin = static_cast<double>(j + 1);
        r.relativeWeight[j] = bin < 30 || bin > 97 ? 0.0 : bin < 75 ? 0.1 : std::exp(-std::pow((bin - 85.0) / 5.0, 2));
        r.spectrum.binEnergyKeV[j] = static_cast<float>(bin / 100.0 * 11200.0);
    }
    r.meanEnergyMeV = 8.7312;
    r.peakEnergyMeV = 9.52;
    r.backgroundAtRpPercent = 1.85;
    r.smooth = 3.1623e-4;
    r.smoothChosen = true;
    r.rmsPercent = 0.4123;
    r.measured = {26.31, 28.0, 32.5, 38.9};
    r.free = {26.402, 28.01, 32.48, NOT_FOUND};
    r.window = {26.45, 28.1, 32.52, 39.01};
    r.electronsOnly = {26.4, 28.0, 32.3, 38.5};
    return r;
}

TEST(FreeFitRun, ShowsTheIntervalsBesideTheFiguresAndReadsTheBand) {
    fit::FreeFitResult r = fittedResult();
    fit::PosteriorSummary u;
    u.energy = {fit::Interval{8.7312, 8.61, 8.88}, fit::Interval{9.52, 9.3, 9.7}};
    u.level = {fit::Interval{26.402, 26.3, 26.55}, fit::Interval{28.01, 27.9, 28.2}, fit::Interval{32.48, 32.4, 32.6},
               fit::Interval{NOT_FOUND, NOT_FOUND, NOT_FOUND}};
    for (std::size_t j = 0; j < u.bandHigh.size(); ++j) {
        u.bandLow[j] = 0.5 * r.relativeWeight[j];
        u.bandHigh[j] = 1.5 * r.relativeWeight[j];
    }
    r.uncertainty = u;
    const auto view = parseFreeFit(fit::freeReportText(r) + fit::freeResultLines(r));
    ASSERT_TRUE(view.has_value());
    const std::string text = freeFitFiguresText(view->result);
    EXPECT_NE(text.find("smoothing 3.16e-04 (evidence)"), std::string::npos) << text;
    EXPECT_NE(text.find("mean 8.73 MeV (95 %: 8.61 to 8.88)   peak 9.52 MeV (95 %: 9.30 to 9.70)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("R90: measured 26.31 mm, free 26.40 mm (95 %: 26.30 to 26.55), window 26.45 mm"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("R10: measured 38.90 mm, free - mm, window 39.01 mm"), std::string::npos) << text;
    ASSERT_TRUE(view->result.band.has_value());
    EXPECT_NEAR(view->result.band->high[84], 1.5, 1e-3);
    EXPECT_NEAR(view->result.band->low[84], 0.5, 1e-3);
}

TEST(FreeFitRun, ReadsTheFiguresAndTheSpectrumTheFitPrints) {
    const fit::FreeFitResult r = fittedResult();
    const std::string output = "PROGRESS free 1 1\n" + fit::freeReportText(r) + "Time 0.4 s\n" +
                               fit::freeResultLines(r);
    const auto view = parseFreeFit(output);
    ASSERT_TRUE(view.has_value()) << output;
    const beamdata::FreeSummary& s = view->result.summary;
    EXPECT_DOUBLE_EQ(s.maxEnergyMeV, 11.2);
    EXPECT_NEAR(s.rmsPercent, 0.4123, 1e-6);
    EXPECT_NEAR(s.backgroundPercent, 1.85, 1e-6);
    EXPECT_NEAR(s.smooth, 3.1623e-4, 1e-9);
    const beamdata::LevelComparison& r10 = view->result.levels[3];
    EXPECT_EQ(r10.level, beamdata::RangeLevel::R10);
    EXPECT_FALSE(r10.modelMm[0].has_value());  // the model never falls to 10 %
    EXPECT_NEAR(*r10.modelMm[1], 39.01, 1e-6);
    for (std::size_t j = 0; j < view->spectrum.size(); ++j) {
        EXPECT_NEAR(view->spectrum[j].energyMeV, (static_cast<double>(j) + 1.0) * 0.112, 1e-9) << j;
        EXPECT_NEAR(view->spectrum[j].relativeWeight, r.relativeWeight[j], 5e-4 * r.relativeWeight[j]) << j;
    }
    EXPECT_EQ(view->spectrum[28].relativeWeight, 0.0);
    EXPECT_DOUBLE_EQ(view->spectrum[84].relativeWeight, 1.0);

    const std::string figures = freeFitFiguresText(view->result);
    EXPECT_EQ(figures.substr(0, figures.find("\nR90")),
              "Free-form   rms 0.41 %   Emax 11.2 MeV   smoothing 3.16e-04 (evidence)\n"
              "mean 8.73 MeV   peak 9.52 MeV   background 1.85 % at Rp");
    EXPECT_NE(figures.find("\nR10: measured 38.90 mm, free - mm, window 39.01 mm"), std::string::npos);
    EXPECT_NE(figures.find("refitted without the background"), std::string::npos);
}

TEST(FreeFitRun, NeedsTheFiguresTheLevelsAndTheSpectrum) {
    const std::string lines = fit::freeResultLines(fittedResult());
    EXPECT_TRUE(parseFreeFit(lines));
    EXPECT_FALSE(parseFreeFit(fit::freeReportText(fittedResult())));  // the readable report alone
    std::string noSpectrum = lines;
    noSpectrum.erase(noSpectrum.find("RESULT spectrum"), noSpectrum.find('\n', noSpectrum.find("RESULT spectrum")) -
                                                             noSpectrum.find("RESULT spectrum") + 1);
    EXPECT_FALSE(parseFreeFit(noSpectrum));
    std::string cut = lines;
    cut.replace(cut.find("RESULT spectrum weights="), 24, "RESULT spectrum weights=0,0,");  // 102 weights
    EXPECT_FALSE(parseFreeFit(cut));
}

TEST(FreeFitRun, TheRerunWritesTheExchangeFilesInsteadOfACurve) {
    FitRequest request{"/w/m.csv", "/w/fit-m.pdd", std::nullopt, false};
    request.model = FitModel::Free;
    request.scan = 2;
    EXPECT_EQ(
        exchangeArguments(request, beamdata::CalculationKind::DepthDose),
        (std::vector<std::string>{"/w/m.csv", "--model", "free", "--rp", "measured", "--scan", "2", "--exchange"}));
    request.maxEnergyMeV = 11.24;
    EXPECT_EQ(exchangeArguments(request, beamdata::CalculationKind::Kernel),
              (std::vector<std::string>{"/w/m.csv", "--model", "free", "--emax", "11.2", "--scan", "2",
                                        "--kernel-exchange"}));
}

}  // namespace
