// The free-form fit as the fit window reads it, against the fit's own report and RESULT writers,
// and the exchange files it writes from the spectrum the fit hands over, against the fit's own.
#include "viewers/free_fit_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "beamdata/free_exchange.h"
#include "fit/free_fit_command.h"
#include "fit/free_fit_report.h"
#include "testsupport/test_folder.h"

#include <filesystem>
#include <sstream>

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
    const auto view = parseFreeFit(fit::freeReportText(r) + fit::freeResultLines(r, r));
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
                               fit::freeResultLines(r, r);
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

    // Without a background the window says why, as the command line does, and shows no 0 %.
    const std::string reason = "the dose beyond the practical range falls by 4.2 % per mm, faster than photons";
    const auto none = parseFreeFit(fit::freeResultLines(r, r, reason));
    ASSERT_TRUE(none.has_value());
    const std::string noneFigures = freeFitFiguresText(none->result);
    EXPECT_NE(noneFigures.find("peak 9.52 MeV   background none\nNo background: " + reason + "\n"), std::string::npos)
        << noneFigures;
    EXPECT_EQ(noneFigures.find("% at Rp"), std::string::npos);
    EXPECT_EQ(noneFigures.find("refitted"), std::string::npos);
}

TEST(FreeFitRun, NeedsTheFiguresTheLevelsAndTheSpectrum) {
    const std::string lines = fit::freeResultLines(fittedResult(), fittedResult());
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

// The window writes the exchange files from the fit's "RESULT run-spectrum" record; they must be
// the files orvalis-fit --exchange writes for the same fit, with a background (the refitted spectrum,
// "left out" in the title) and without one.
TEST(FreeFitRun, TheWindowWritesTheExchangeFilesTheFitWrites) {
    testsupport::TestFolder folder;
    for (const char* name : {"ELDAT.dat", "water.csda"})
        std::filesystem::copy_file(std::filesystem::path(ORVALIS_DATA_DIR) / name, folder.path() / name);
    // Falling from 100 % at 20 mm to a 1 % tail; the short one ends too close to Rp for a background.
    const auto measurement = [&folder](const std::string& name, double lastDepthMm) {
        std::string text = "depth, dose\n";
        for (double z = 1.0; z <= lastDepthMm; z += 1.0)
            text += std::to_string(z) + ", " +
                    std::to_string(z < 20.0 ? 80.0 + z : std::max(1.0, 100.0 - 5.0 * (z - 20.0))) + "\n";
        return folder.write(name, text).string();
    };
    struct Case {
        std::string measured;
        const char* option;
        beamdata::CalculationKind kind;
        bool background;
    };
    for (const Case& c :
         {Case{measurement("tail.csv", 60.0), "--exchange", beamdata::CalculationKind::DepthDose, true},
          Case{measurement("short.csv", 42.0), "--kernel-exchange", beamdata::CalculationKind::Kernel, false}}) {
        fit::CommandOptions options = fit::parseArguments(
            {c.measured, "--model", "free", "--rp", "measured", "--histories", "200", c.option});
        options.workFolder = folder.path();
        std::ostringstream out;
        ASSERT_EQ(fit::runFreeFitCommand(options, out), 0);
        const auto view = parseFreeFit(out.str());
        ASSERT_TRUE(view.has_value()) << out.str();
        EXPECT_EQ(view->result.noBackgroundReason.has_value(), !c.background) << out.str();
        const beamdata::ExchangeContent content = beamdata::freeExchangeContent(view->result, c.measured, c.kind);
        EXPECT_EQ(beamdata::runFileBytes(content), folder.read("Nimbrola.dat")) << c.measured;
        EXPECT_EQ(beamdata::spectrumFileBytes(content), folder.read("Nimbrola.txt")) << c.measured;
        // With a background the run's spectrum is the refit, not the one drawn.
        beamdata::FreeFitOutput drawn = view->result;
        drawn.runSpectrum = drawn.spectrum;
        EXPECT_EQ(beamdata::spectrumFileBytes(beamdata::freeExchangeContent(drawn, c.measured, c.kind)) ==
                      folder.read("Nimbrola.txt"),
                  !c.background);
    }
}

}  // namespace
