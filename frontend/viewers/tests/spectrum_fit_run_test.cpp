#include "viewers/spectrum_fit_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace orvalis::viewers;

TEST(FitRun, ArgumentsFollowTheChosenStartOfTheMaximumEnergy) {
    FitRequest request{"/w/m.csv", "/w/fit-m.pdd", std::nullopt, false};
    EXPECT_EQ(fitArguments(request),
              (std::vector<std::string>{"/w/m.csv", "--rp", "measured", "--out", "/w/fit-m.pdd"}));
    request.maxEnergyMeV = 9.04;
    EXPECT_EQ(fitArguments(request), (std::vector<std::string>{"/w/m.csv", "--emax", "9.0", "--out", "/w/fit-m.pdd"}));
    request.spanPercent = 20.0;
    EXPECT_EQ(fitArguments(request),
              (std::vector<std::string>{"/w/m.csv", "--emax", "9.0", "--span", "20.0", "--out", "/w/fit-m.pdd"}));
    request.fixedMaxEnergy = true;  // a fixed energy has no span
    EXPECT_EQ(fitArguments(request),
              (std::vector<std::string>{"/w/m.csv", "--emax", "9.0", "--fixed-emax", "--out", "/w/fit-m.pdd"}));
    request.scan = 2;  // one curve of a water-tank file, its detector overridden in the window
    request.ionisation = false;
    EXPECT_EQ(fitArguments(request), (std::vector<std::string>{"/w/m.csv", "--emax", "9.0", "--fixed-emax", "--out",
                                                               "/w/fit-m.pdd", "--scan", "2", "--dose"}));
    request.model = FitModel::Free;  // the free-form bins end at Emax: never fixed, no span
    request.spanPercent = 20.0;
    EXPECT_EQ(fitArguments(request), (std::vector<std::string>{"/w/m.csv", "--model", "free", "--emax", "9.0", "--out",
                                                               "/w/fit-m.pdd", "--scan", "2", "--dose"}));
    request.depthsInCm = true;  // the window's "depths in cm" box
    EXPECT_EQ(fitArguments(request),
              (std::vector<std::string>{"/w/m.csv", "--model", "free", "--emax", "9.0", "--out", "/w/fit-m.pdd",
                                        "--scan", "2", "--dose", "--depth-unit", "cm"}));
}

TEST(FitRun, ProgressAndResultLines) {
    EXPECT_EQ(fitProgressPercent("PROGRESS basis 56 112"), 45);
    EXPECT_EQ(fitProgressPercent("PROGRESS basis 112 112"), 90);
    EXPECT_EQ(fitProgressPercent("PROGRESS scan 21 21"), 98);
    EXPECT_EQ(fitProgressPercent("PROGRESS refine 1 1"), 100);
    EXPECT_EQ(fitProgressPercent("PROGRESS free 0 1"), 90);
    EXPECT_EQ(fitProgressPercent("PROGRESS free 1 1"), 100);
    EXPECT_FALSE(fitProgressPercent("PROGRESS basis 1 0"));
    EXPECT_FALSE(fitProgressPercent("Basis read from fit-basis-9.0MeV.txt"));

    const auto r = parseFitResult("RESULT grid alpha=8.2 beta=2.1 emax=9.4 rms=0.512");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->alpha, 8.2);
    EXPECT_EQ(r->rmsPercent, 0.512);
    EXPECT_FALSE(parseFitResult("RESULT continuous alpha=8.2 beta=2.1 emax=9.4 rms=0.512"));
    EXPECT_FALSE(parseFitResult("RESULT grid alpha=8.2 beta=2.1 emax=9.4"));
    EXPECT_FALSE(parseFitResult("RESULT grid alpha=8.2 beta=two emax=9.4 rms=1"));

    const auto level = parseFitLevel("RESULT R50 measured=30.535 grid=30.425 continuous=30.446");
    ASSERT_TRUE(level.has_value());
    EXPECT_EQ(level->name, "R50");
    EXPECT_EQ(level->fittedMm, 30.425);
    EXPECT_FALSE(parseFitLevel("RESULT grid alpha=8.2 beta=2.1 emax=9.4 rms=0.512"));
}

TEST(FitRun, FittedCurveIsDrawnLikeACalculatedCurveInDashes) {
    std::string text = "  9.40 MeV fit\r\n 100.\r\n";
    for (int i = 1; i <= 125; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", i - 15, i <= 40 ? 0.5 : 0.25);
        text += line;
    }
    const auto points = fittedCurvePoints(text);
    ASSERT_TRUE(points.has_value());
    ASSERT_EQ(points->size(), 100u);
    EXPECT_EQ(points->front().x, 50.0);
    EXPECT_EQ(points->front().y, 1000.0);
    EXPECT_EQ(points->back().y, 500.0);
    EXPECT_FALSE(fittedCurvePoints("too short\r\n"));

    // A straight line of 100 px in x: dashes of 8 px every 13 px, all on the line.
    const std::vector<PlotPoint> line{{0.0, 500.0}, {500.0, 500.0}, {1000.0, 500.0}};
    const orvalis::ClipRect plotArea{-500.0, -130.0, 10100.0, 1020.0};
    const auto dashes = dashedSegments(line, 10.0, 1.0, 8.0, 5.0, plotArea);
    double drawn = 0.0;
    for (const PlotSegment& d : dashes) {
        EXPECT_EQ(d.from.y, 500.0);
        EXPECT_LE(d.to.x - d.from.x, 80.0 + 1e-9);
        drawn += d.to.x - d.from.x;
    }
    EXPECT_EQ(dashes.size(), 8u);  // at 0, 13, ..., 91 px; the joint at 50 px falls in a gap
    EXPECT_NEAR(drawn, 8 * 80.0, 1e-9);
    EXPECT_TRUE(dashedSegments(line, 10.0, 1.0, 0.0, 5.0, plotArea).empty());
}

// A fitted-curve file with a dose of -1e6 asked for 67 million dashes and ended the program;
// -1e308 never ended. The file is refused now, and the dashes are bounded by the frame anyway.
TEST(FitRun, AbsurdCurvesAreRefusedAndDashesAreBoundedByTheFrame) {
    for (const char* dose : {"-0.100E+07", "-1.0E+308"}) {
        std::string text = "  9.40 MeV fit\r\n 100.\r\n";
        for (int i = 1; i <= 125; ++i)
            text += (i == 60 ? std::string("  45. ") + dose : std::string("  45. 0.500E+00")) + "\r\n";
        EXPECT_FALSE(fittedCurvePoints(text)) << dose;
    }

    const orvalis::ClipRect plotArea{-500.0, -130.0, 10100.0, 1020.0};
    const double xUnitsPerPx = 10600.0 / 630.0;  // the comparison plot, about 630 x 540 px
    const double yUnitsPerPx = 1150.0 / 540.0;
    for (double y : {-1.0e9, -1.0e308, -HUGE_VAL, std::nan("")}) {
        std::vector<PlotPoint> curve;
        for (int i = 0; i < 100; ++i) curve.push_back({100.0 * i, i == 50 ? y : 500.0});
        const auto dashes = dashedSegments(curve, xUnitsPerPx, yUnitsPerPx, 8.0, 5.0, plotArea);
        // Each of the 99 segments shows at most the frame's diagonal (about 830 px): 64 dashes.
        EXPECT_LE(dashes.size(), 99u * 65u) << y;
        EXPECT_GE(dashes.size(), 30u) << y;  // the rest of the curve is still drawn
        for (const PlotSegment& d : dashes) {
            EXPECT_GE(d.from.y, plotArea.yMin);
            EXPECT_LE(d.to.y, plotArea.yMax);
        }
    }
    // The pattern runs on across a part outside the frame, as if it had been drawn.
    const std::vector<PlotPoint> through{{-1500.0, 500.0}, {1000.0, 500.0}};
    const std::vector<PlotPoint> inside{{-500.0, 500.0}, {1000.0, 500.0}};
    const auto cut = dashedSegments(through, 10.0, 1.0, 8.0, 5.0, plotArea);
    const auto whole = dashedSegments(through, 10.0, 1.0, 8.0, 5.0, {-1.0e9, -1.0e9, 1.0e9, 1.0e9});
    ASSERT_FALSE(cut.empty());
    EXPECT_NEAR(cut.back().to.x, whole.back().to.x, 1e-6);
    EXPECT_NE(dashedSegments(inside, 10.0, 1.0, 8.0, 5.0, plotArea).front().from.x, cut.front().from.x);
}
