#include "fit/measured_data.h"

#include "beamdata/beam_quality.h"
#include "engine/run_error.h"
#include "fit/range_levels.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testing_support::TempFolder;
using testing_support::writeFile;

TEST(MeasuredFile, ReadsPairsSeparatedByCommasBlanksAndLineEnds) {
    TempFolder folder("fit-measured");
    writeFile(folder.path() / "m.csv", "Depth (mm), Dose\r\n0.5, 80.1\r\n1.5 81\r\n2.5,\t82.5\r\n3.5,\r\n90\r\n\r\n");
    const fit::MeasuredCurve curve = fit::readMeasuredCurve(folder.path() / "m.csv");
    ASSERT_EQ(curve.depthMm.size(), 4u);
    EXPECT_EQ(curve.depthMm[1], 1.5);
    EXPECT_EQ(curve.dose[2], 82.5);
    EXPECT_EQ(curve.dose[3], 90.0);  // a record may continue on the next line
}

TEST(MeasuredFile, RejectsWhatCannotBeFittedNamingFileAndLine) {
    TempFolder folder("fit-measured-bad");
    auto failure = [&](const std::string& text) {
        writeFile(folder.path() / "bad.csv", text);
        try {
            fit::readMeasuredCurve(folder.path() / "bad.csv");
        } catch (const engine::RunError& e) {
            const std::string message = e.what();  // the file as named, then line and fault
            return message.substr(message.find("bad.csv"));
        }
        return std::string("no error");
    };
    EXPECT_EQ(failure("h\n1, 50\n2, x7\n"), "bad.csv, line 3: expected a number, found \"x7\"");
    EXPECT_EQ(failure("h\n1, 50\n2\n"), "bad.csv, line 3: a depth without its dose at the end of the file");
    EXPECT_EQ(failure("h\n1, 50\n1, 40\n"), "bad.csv, line 3: the depths must increase from record to record");
    EXPECT_EQ(failure("h\n1, 0\n2, 0\n"), "bad.csv: no positive dose");
    EXPECT_EQ(failure("h\n1, 50\n2, -1e6\n"),
              "bad.csv, line 2: a value below minus the largest value is no measured value");
    EXPECT_EQ(failure("h\n1, 50\n1e308, 40\n"), "bad.csv, line 2: a depth beyond 10 m is no measured depth in mm");
    EXPECT_EQ(failure("h\n1, 50\n2, -0.4\n"), "no error");  // a little noise below zero in the tail
    EXPECT_THROW(fit::readMeasuredCurve(folder.path() / "missing.csv"), engine::RunError);
}

// A water-tank file of several depth curves: without a choice the fit lists them and stops; a
// chosen chamber curve arrives converted to dose.
TEST(MeasuredFile, WaterTankFilesNeedTheirScanChosen) {
    const std::filesystem::path tank = std::filesystem::path(BEAMDATA_SAMPLES_PATH) / "electrons-6-9-12MeV.mcc";
    try {
        fit::readMeasuredCurve(tank);
        FAIL() << "three depth curves need --scan";
    } catch (const engine::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("holds 3 depth curves; choose one with --scan N:\n  1: 6 MeV"),
                  std::string::npos)
            << e.what();
    }
    const fit::MeasuredCurve chamber = fit::readMeasuredCurve(tank, 2);
    const fit::MeasuredCurve ionisation = fit::readMeasuredCurve(tank, 2, beamdata::QuantityChoice::Dose);
    EXPECT_EQ(chamber.depthMm, ionisation.depthMm);
    EXPECT_GT(fit::measuredLevels(chamber)[2], fit::measuredLevels(ionisation)[2]);  // dose R50 beyond I50 here
    const fit::MeasuredCurve csv = fit::readMeasuredCurve(std::filesystem::path(BEAMDATA_SAMPLES_PATH) /
                                                          "../../../data/example-9MeV-simulated.csv");
    EXPECT_NEAR(fit::measuredLevels(chamber)[2], fit::measuredLevels(csv)[2], 0.1);
}

TEST(PracticalRange, TangentAtTheSteepestPointMeetsZero) {
    fit::MeasuredCurve curve;
    // Flat at 100 up to 20 mm, then a straight fall of 10 per mm, reaching zero at 30 mm.
    for (int d = 0; d <= 40; ++d) {
        curve.depthMm.push_back(d);
        curve.dose.push_back(d <= 20 ? 100.0 : std::max(0.0, 100.0 - 10.0 * (d - 20)));
    }
    // The beam-quality table's Rp: its fall-off model has a Gaussian slope, which a straight ramp's
    // constant one is not, so the tangent is a little steeper and Rp a little shallower.
    EXPECT_EQ(*fit::practicalRangeMm(curve), beamdata::beamQuality(curve.depthMm, curve.dose).rpMm);
    EXPECT_NEAR(*fit::practicalRangeMm(curve), 30.0, 0.4);
    const fit::LevelDepths levels = fit::measuredLevels(curve);
    EXPECT_NEAR(levels[0], 21.0, 1e-9);
    EXPECT_NEAR(levels[2], 25.0, 1e-9);
    EXPECT_NEAR(levels[3], 29.0, 1e-9);
}

TEST(RangeLevels, ResultSlabsStandAtTheirLabelDepths) {
    // Slab 65 (label 50) holds exactly 0.5 and slab 64 more: R50 is 50.00 mm, as the window shows.
    fit::DepthCurve p{};
    for (std::size_t i = 15; i < 64; ++i) p[i] = 1.0;
    p[63] = 0.8;
    p[64] = 0.5;
    p[65] = 0.2;
    const fit::LevelDepths levels = fit::resultCurveLevels(p);
    EXPECT_DOUBLE_EQ(levels[2], 50.0);
    EXPECT_DOUBLE_EQ(levels[1], 49.0);
    EXPECT_NEAR(levels[3], 51.0 + 1.0 / 2.0, 1e-12);
    EXPECT_DOUBLE_EQ(fit::resultCurveAt(p, 49.5), 0.65);
    // A curve still above a level at its last record has no crossing there.
    fit::MeasuredCurve shallow{{1.0, 2.0, 3.0}, {100.0, 90.0, 60.0}};
    const fit::LevelDepths cut = fit::measuredLevels(shallow);
    EXPECT_TRUE(std::isnan(cut[2]));
    EXPECT_NEAR(cut[0], 2.0, 1e-12);
}

}  // namespace
