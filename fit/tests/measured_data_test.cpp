#include "fit/measured_data.h"

#include "beamdata/beam_quality.h"
#include "engine/run_error.h"
#include "fit/clinical_beam.h"
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

// The fit refuses a curve that cannot be a depth dose in mm, naming the file (and the curve of
// several) and why; declared cm depths are read as mm.
TEST(MeasuredFile, TheFitRefusesImplausibleCurvesAndReadsDeclaredCm) {
    TempFolder folder("fit-measured-plausible");
    std::string mm = "depth,dose\n", cm = "depth,dose\n";
    for (int z = 0; z <= 60; z += 2) {
        const double dose = 50.0 * std::erfc((z - 36.0) / 4.0) + 0.5;
        mm += std::to_string(z) + "," + std::to_string(dose) + "\n";
        cm += std::to_string(z / 10.0) + "," + std::to_string(dose) + "\n";
    }
    writeFile(folder.path() / "mm.csv", mm);
    writeFile(folder.path() / "cm.csv", cm);
    writeFile(folder.path() / "two.csv", mm + "62,40\n64,101\n66,30\n70,1\n");
    writeFile(folder.path() / "few.csv", "depth,dose\n10,100\n20,90\n30,50\n40,5\n");
    const auto refusal = [&](const std::string& name) {
        try {
            fit::readFittableCurve(folder.path() / name, std::nullopt, beamdata::QuantityChoice::AsDetected,
                                   beamdata::DepthUnit::Mm);
        } catch (const engine::RunError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(refusal("mm.csv"), "no error");
    EXPECT_EQ(refusal("cm.csv").rfind("cm.csv: depths look like cm (", 0), 0u) << refusal("cm.csv");
    EXPECT_NE(refusal("cm.csv").find("; give --depth-unit cm if they are"), std::string::npos);
    EXPECT_EQ(refusal("two.csv").rfind("two.csv: a second maximum (101 at 64 mm) higher than the dose before it", 0),
              0u);
    EXPECT_EQ(refusal("few.csv"), "few.csv: 4 points, fewer than 5: too few for a depth-dose curve");
    // Reading without fitting still gives the curve as it is.
    EXPECT_EQ(fit::readMeasuredCurve(folder.path() / "few.csv").depthMm.size(), 4u);
    const fit::MeasuredCurve declared = fit::readFittableCurve(
        folder.path() / "cm.csv", std::nullopt, beamdata::QuantityChoice::AsDetected, beamdata::DepthUnit::Cm);
    const fit::MeasuredCurve inMm = fit::readMeasuredCurve(folder.path() / "mm.csv");
    ASSERT_EQ(declared.depthMm.size(), inMm.depthMm.size());
    for (std::size_t k = 0; k < inMm.depthMm.size(); ++k) EXPECT_NEAR(declared.depthMm[k], inMm.depthMm[k], 1e-9);
}

// No clinical-like measurement is refused: 6 to 20 MeV, low-energy tails, photon backgrounds,
// noise, steps of 1 to 5 mm, scans from below the surface, scans ending at R10, small diverging
// fields, chamber readings.
TEST(MeasuredFile, ClinicalLikeMeasurementsAreNeverRefused) {
    int checked = 0;
    for (const double peakMeV : {6.0, 9.0, 12.0, 16.0, 20.0})
        for (const double tail : {0.0, 0.25})
            for (const double photonsAtRp : {0.5, 5.0})
                for (const double stepMm : {1.0, 3.0, 5.0})
                    for (const bool endAtR10 : {false, true})
                        for (const bool chamber : {false, true}) {
                            fit::ClinicalBeam beam;
                            beam.peakMeV = peakMeV;
                            beam.tailFraction = tail;
                            beam.fieldCm = checked % 3 == 0 ? 6.0 : 0.0;
                            beam.sourceDistanceCm = checked % 3 == 0 ? 95.0 : 0.0;
                            fit::PhotonBackground photons;
                            photons.atRpPercent = photonsAtRp;
                            photons.buildUp = 0.5;
                            fit::TankScan scan;
                            scan.firstDepthMm = checked % 2 == 0 ? 0.5 : 3.0;
                            scan.buildUpStepMm = std::min(stepMm, 2.0);
                            scan.stepMm = stepMm;
                            scan.beyondRpMm = endAtR10 ? -2.0 : 20.0;
                            scan.noisePercent = checked % 2 == 0 ? 0.2 : 0.5;
                            scan.ionisation = chamber;
                            scan.seed = static_cast<std::uint64_t>(checked + 1);
                            const fit::MeasuredCurve curve = fit::measureClinicalBeam(beam, photons, scan).curve;
                            const auto refusal = beamdata::curveRefusal(curve.depthMm, curve.dose);
                            EXPECT_FALSE(refusal) << peakMeV << " MeV, step " << stepMm << " mm: " << refusal->reason;
                            ++checked;
                        }
    EXPECT_EQ(checked, 240);
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
