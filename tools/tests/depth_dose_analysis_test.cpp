#include "tools/depth_dose_analysis.h"

#include "beamdata/beam_quality.h"
#include "engine/run_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

using tools::DepthDoseCurve;

DepthDoseCurve sampleAtSlabCentres(const std::function<double(double)>& dose, int slabs = 110) {
    DepthDoseCurve curve;
    for (int i = 1; i <= slabs; ++i) {
        curve.depthMm.push_back(i - 0.5);
        curve.dose.push_back(dose(i - 0.5));
    }
    return curve;
}

// A plateau falling linearly from 100 at 30 mm to 0 at 50 mm: every level crossing and the
// tangent are known exactly, and linear interpolation between records reproduces them.
TEST(DepthDoseAnalysis, LinearFallOffGivesExactRangesAndPracticalRange) {
    const DepthDoseCurve curve = sampleAtSlabCentres([](double z) {
        if (z <= 30.0) return 100.0;
        if (z >= 50.0) return 0.0;
        return 100.0 * (50.0 - z) / 20.0;
    });
    const tools::DepthDoseFigures q = tools::analyseDepthDose(curve);
    EXPECT_DOUBLE_EQ(q.peakDose, 100.0);
    EXPECT_NEAR(q.r90Mm, 32.0, 1e-9);
    EXPECT_NEAR(q.r80Mm, 34.0, 1e-9);
    EXPECT_NEAR(q.r50Mm, 40.0, 1e-9);
    EXPECT_NEAR(q.r10Mm, 48.0, 1e-9);
    // Rp and the slope come from the fall-off model of the beam-quality table, whose Gaussian slope
    // cannot copy a straight ramp's constant one: steeper in the middle, so Rp a little shallower.
    EXPECT_EQ(q.practicalRangeMm, beamdata::beamQuality(curve.depthMm, curve.dose).rpMm);
    EXPECT_NEAR(q.practicalRangeMm, 50.0, 0.7);
    EXPECT_NEAR(q.steepestGradientPerMm, 5.0, 0.5);
}

// A rounded peak: the parabola through the records about the maximum finds its depth and height
// between records.
TEST(DepthDoseAnalysis, PeakIsFittedBetweenRecords) {
    const DepthDoseCurve curve = sampleAtSlabCentres(
        [](double z) { return std::max(0.0, 80.0 - 0.05 * (z - 23.3) * (z - 23.3)); });
    const tools::DepthDoseFigures q = tools::analyseDepthDose(curve);
    EXPECT_NEAR(q.doseMaximumDepthMm, 23.3, 1e-6);
    EXPECT_NEAR(q.peakDose, 80.0, 1e-6);
}

// An S-shaped (logistic) fall-off of width 2 mm centred at 45 mm: steepest at 45 mm with slope
// -100/8 per mm, so its tangent meets zero dose at 49 mm. The fitted fall-off model has Gaussian
// flanks, not the logistic's exponential ones: its slope is within 4 % of the logistic's.
TEST(DepthDoseAnalysis, TangentIsTakenAtTheSteepestPoint) {
    const DepthDoseCurve curve = sampleAtSlabCentres(
        [](double z) { return 100.0 / (1.0 + std::exp((z - 45.0) / 2.0)); });
    const tools::DepthDoseFigures q = tools::analyseDepthDose(curve);
    EXPECT_NEAR(q.r50Mm, 45.0, 0.01);
    EXPECT_NEAR(q.practicalRangeMm, 49.0, 0.15);
    EXPECT_NEAR(q.steepestGradientPerMm, 12.5, 0.5);
}

// Statistical dips: the crossing is the deepest one, as the front end's range search finds it.
TEST(DepthDoseAnalysis, LevelCrossingIsTheDeepestOne) {
    DepthDoseCurve curve = sampleAtSlabCentres(
        [](double z) { return z < 40.0 ? 100.0 : std::max(0.0, 100.0 - 10.0 * (z - 40.0)); });
    curve.dose[10] = 45.0;  // a spurious dip at 10.5 mm
    EXPECT_NEAR(tools::depthAtLevel(curve, 100.0, 0.5), 45.0, 1e-9);
    EXPECT_TRUE(std::isnan(tools::depthAtLevel(curve, 100.0, 1.5)));
}

// The beam-quality relations take R50 and Rp in cm; the 9 MeV full-physics reference (R50 3.667 cm,
// Rp 4.41 cm) gives a most probable energy of 9.0 MeV and a mean energy of 8.5 MeV.
TEST(DepthDoseAnalysis, SurfaceEnergiesUseCentimetres) {
    EXPECT_NEAR(beamdata::mostProbableEnergyMeV(44.1), 9.0, 0.05);
    EXPECT_NEAR(beamdata::meanEnergyMeV(36.67), 8.544, 0.001);
}

class DepthDoseFile : public ::testing::Test {
protected:
    // One file per test: ctest runs the tests of this fixture side by side.
    std::string path_ = (std::filesystem::temp_directory_path() /
                         ("orvalis-analysis-" +
                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".pdd"))
                            .string();
    void TearDown() override { std::filesystem::remove(path_); }
    void write(int records, const std::string& badLine = "") {
        std::ofstream out(path_, std::ios::binary);
        out << "  9.00 MeV alpha                beta                \r\n     100000.\r\n";
        for (int j = 1; j <= records; ++j) {
            char line[32];
            std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", j - 15, 0.001 * j);
            out << ((j == 40 && !badLine.empty()) ? badLine + "\r\n" : std::string(line));
        }
    }
};

// The result layout: labels -14..110 at the deeper face of each slab; the water slabs are kept at
// their centres.
TEST_F(DepthDoseFile, ReadsWaterSlabsAtTheirCentres) {
    write(125);
    const DepthDoseCurve curve = tools::readDepthDoseResult(path_);
    ASSERT_EQ(curve.depthMm.size(), 110u);
    EXPECT_DOUBLE_EQ(curve.depthMm.front(), 0.5);
    EXPECT_DOUBLE_EQ(curve.depthMm.back(), 109.5);
    EXPECT_DOUBLE_EQ(curve.dose.front(), 0.016);
    EXPECT_DOUBLE_EQ(curve.dose.back(), 0.125);
}

}  // namespace
