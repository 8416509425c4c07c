// Curves that cannot be a measured electron depth dose in mm are refused with the reason; realistic
// curves of every kind the tanks give are never refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "beamdata/beam_quality.h"
#include "beamdata/curve_plausibility.h"
#include "beamdata/measured_curve_file.h"
#include "engine/run_error.h"
#include "synthetic_depth_dose.h"

namespace {

using beamdata::curveRefusal;
using beamdata::DepthScan;
using beamdata::DepthUnit;
using beamdata::Implausibility;
using beamdata::testing::sampledCurve;
using beamdata::testing::shapeForEnergy;

std::optional<Implausibility> kindOf(const DepthScan& curve, DepthUnit unit = DepthUnit::Mm) {
    const auto refusal = curveRefusal(curve.depthMm, curve.value, unit);
    if (!refusal) return std::nullopt;
    return refusal->kind;
}

DepthScan inCm(DepthScan curve) {
    for (double& depth : curve.depthMm) depth /= 10.0;
    return curve;
}

TEST(CurvePlausibility, TooFewPointsAreRefusedFromFiveOn) {
    const DepthScan full = sampledCurve(shapeForEnergy(9.0), 10.0, 10.0, 50.0);  // 10, 20, ..., 50 mm
    ASSERT_EQ(full.depthMm.size(), 5u);
    EXPECT_EQ(kindOf(full), std::nullopt);
    DepthScan four = full;
    four.depthMm.pop_back();
    four.value.pop_back();
    EXPECT_EQ(kindOf(four), Implausibility::TooFewPoints);
    const DepthScan one{{}, {10.0}, {100.0}};
    const auto refusal = curveRefusal(one.depthMm, one.value);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->reason, "1 point, fewer than 5: too few for a depth-dose curve");
    EXPECT_EQ(kindOf(DepthScan{}), Implausibility::TooFewPoints);
}

TEST(CurvePlausibility, DepthsInCmAreRefusedUnlessDeclaredAndThenGiveTheMmFigures) {
    for (const double energyMeV : {6.0, 9.0, 12.0, 16.0, 20.0}) {
        SCOPED_TRACE(energyMeV);
        const DepthScan mm = sampledCurve(shapeForEnergy(energyMeV), 0.0, 1.0, 1.3 * energyMeV / 2.46 * 10.0);
        const DepthScan cm = inCm(mm);
        const auto refusal = curveRefusal(cm.depthMm, cm.value);
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->kind, Implausibility::DepthsLookLikeCm);
        EXPECT_EQ(refusal->reason.rfind("depths look like cm", 0), 0u) << refusal->reason;
        DepthScan declared = cm;
        beamdata::applyDepthUnit(declared, DepthUnit::Cm);
        EXPECT_EQ(kindOf(declared, DepthUnit::Cm), std::nullopt);
        EXPECT_NEAR(beamdata::beamQuality(declared.depthMm, declared.value).r50Mm,
                    beamdata::beamQuality(mm.depthMm, mm.value).r50Mm, 1e-9);
    }
    // A deep mm curve sampled only up to 14 mm is no cm curve if its fall-off is long; a short one is.
    DepthScan shallow = sampledCurve(shapeForEnergy(4.0), 0.0, 0.5, 14.5);
    EXPECT_EQ(kindOf(shallow), Implausibility::DepthsLookLikeCm);
    shallow.depthMm.push_back(40.0);
    shallow.value.push_back(0.5);
    EXPECT_EQ(kindOf(shallow), std::nullopt);
}

TEST(CurvePlausibility, ASecondHigherMaximumAfterTheFallOffIsRefused) {
    DepthScan curve = sampledCurve(shapeForEnergy(9.0), 0.0, 2.0, 80.0);
    // A bump in the tail below the first maximum is a background, not a second curve.
    for (std::size_t k = 0; k < curve.depthMm.size(); ++k)
        if (curve.depthMm[k] >= 56.0 && curve.depthMm[k] <= 60.0) curve.value[k] = 60.0;
    EXPECT_EQ(kindOf(curve), std::nullopt);
    for (std::size_t k = 0; k < curve.depthMm.size(); ++k)
        if (curve.depthMm[k] == 58.0) curve.value[k] = 110.0;
    const auto refusal = curveRefusal(curve.depthMm, curve.value);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->kind, Implausibility::SecondMaximum);
    EXPECT_EQ(refusal->reason,
              "a second maximum (110 at 58 mm) higher than the dose before it, after a fall-off below 50 %: not one "
              "depth-dose curve");
    // A higher point before the dose has fallen below half is the shoulder's noise, not a second peak.
    DepthScan shoulder = sampledCurve(shapeForEnergy(9.0), 0.0, 2.0, 80.0);
    shoulder.value[15] = 120.0;
    EXPECT_EQ(kindOf(shoulder), std::nullopt);
}

TEST(CurvePlausibility, RealisticCurvesAreNeverRefused) {
    // 6 to 20 MeV, skewed fall-offs, noise of 0.2 to 0.5 %, steps of 1 to 5 mm, scans beginning
    // below the surface or ending at R10, dose and ionisation: every one must pass.
    int checked = 0;
    for (const double energyMeV : {6.0, 7.0, 9.0, 12.0, 15.0, 16.0, 18.0, 20.0})
        for (const double skew : {0.7, 1.4})
            for (const double noise : {0.2, 0.5})
                for (const double stepMm : {1.0, 2.0, 5.0})
                    for (const double firstMm : {0.0, 3.0}) {
                        const auto shape = shapeForEnergy(energyMeV, skew);
                        const double r50Mm = shape.fallOffMm;
                        for (const double lastMm : {1.15 * r50Mm, 1.6 * r50Mm, 2.5 * r50Mm}) {
                            const DepthScan dose = sampledCurve(shape, firstMm, stepMm, lastMm, noise,
                                                                static_cast<std::uint32_t>(checked + 1));
                            const DepthScan ionisation = beamdata::testing::ionisationFromDose(dose);
                            for (const DepthScan* curve : {&dose, &ionisation}) {
                                const auto refusal = curveRefusal(curve->depthMm, curve->value);
                                EXPECT_FALSE(refusal) << energyMeV << " MeV, step " << stepMm << " mm, from " << firstMm
                                                      << " to " << lastMm << " mm: " << refusal->reason;
                                ++checked;
                            }
                        }
                    }
    EXPECT_EQ(checked, 8 * 2 * 2 * 3 * 2 * 3 * 2);
}

TEST(CurvePlausibility, EveryDepthCurveOfTheSampleFilesPasses) {
    int curves = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SAMPLES_PATH)) {
        beamdata::MeasuredFile file;
        try {
            file = beamdata::readMeasuredFile(entry.path());
        } catch (const engine::RunError&) {
            continue;  // the profiles-only files hold no depth curve
        }
        for (const DepthScan& scan : file.depthScans) {
            EXPECT_FALSE(curveRefusal(scan.depthMm, scan.value)) << file.fileName;
            ++curves;
        }
    }
    const DepthScan example = beamdata::readMeasuredFile(EXAMPLE_CSV_PATH).depthScans.front();
    EXPECT_FALSE(curveRefusal(example.depthMm, example.value));
    EXPECT_GE(curves, 8);
}

TEST(CurvePlausibility, MessagesNameTheFileTheCurveAndTheWayOut) {
    const beamdata::CurveRefusal cm{Implausibility::DepthsLookLikeCm, "depths look like cm (x)"};
    EXPECT_EQ(beamdata::refusalMessage("tank.mcc", 2, cm, "give --depth-unit cm if they are"),
              "tank.mcc, depth curve 2: depths look like cm (x); give --depth-unit cm if they are");
    const beamdata::CurveRefusal few{Implausibility::TooFewPoints, "1 point"};
    EXPECT_EQ(beamdata::refusalMessage("one.csv", std::nullopt, few, "give --depth-unit cm if they are"),
              "one.csv: 1 point");
    EXPECT_EQ(beamdata::depthUnitFromWord("cm"), DepthUnit::Cm);
    EXPECT_EQ(beamdata::depthUnitFromWord("mm"), DepthUnit::Mm);
    EXPECT_EQ(beamdata::depthUnitFromWord("inch"), std::nullopt);
}

}  // namespace
