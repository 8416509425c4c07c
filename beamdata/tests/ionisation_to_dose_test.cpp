#include "beamdata/ionisation_to_dose.h"

#include <gtest/gtest.h>

#include <cmath>

#include "beamdata/beam_quality.h"
#include "beamdata/range_levels.h"
#include "engine/run_error.h"
#include "synthetic_depth_dose.h"

namespace {

using namespace beamdata;

// At the reference depth the depth-dependent ratio agrees with the reference-depth form
// 1.2534 - 0.1487 R50^0.2144 within 0.3 % (1.053 both at R50 = 4 cm).
TEST(StoppingPowerRatio, AgreesWithTheReferenceDepthForm) {
    EXPECT_NEAR(stoppingPowerRatioWaterAir(0.6 * 4.0 - 0.1, 4.0), 1.053, 0.0005);
    for (double r50 = 1.5; r50 <= 10.0; r50 += 0.5) {
        const double reference = 1.2534 - 0.1487 * std::pow(r50, 0.2144);
        EXPECT_NEAR(stoppingPowerRatioWaterAir(0.6 * r50 - 0.1, r50) / reference, 1.0, 0.003) << r50;
    }
    // Outside the fitted depths the ratio at the nearer end is kept.
    EXPECT_EQ(stoppingPowerRatioWaterAir(0.0, 4.0), stoppingPowerRatioWaterAir(0.08, 4.0));
    EXPECT_EQ(stoppingPowerRatioWaterAir(9.0, 4.0), stoppingPowerRatioWaterAir(4.8, 4.0));
}

TEST(StoppingPowerRatio, R50FromI50OnBothSidesOf10Cm) {
    EXPECT_DOUBLE_EQ(r50FromI50Cm(4.0), 1.029 * 4.0 - 0.06);
    EXPECT_DOUBLE_EQ(r50FromI50Cm(10.0), 1.029 * 10.0 - 0.06);
    EXPECT_DOUBLE_EQ(r50FromI50Cm(12.0), 1.059 * 12.0 - 0.37);
}

// An ionisation curve made from a dose curve with the ratio gives the dose R50 back, for beams of 6
// to 20 MeV (1 mm and 2 mm steps, with and without noise).
TEST(IonisationToDose, GivesTheDoseR50Back) {
    for (double energy : {6.0, 9.0, 12.0, 16.0, 20.0}) {
        for (double step : {1.0, 2.0}) {
            const beamdata::testing::ElectronShape shape = beamdata::testing::shapeForEnergy(energy);
            const DepthScan dose = beamdata::testing::sampledCurve(shape, 0.5, step, 1.5 * shape.fallOffMm,
                                                                   step == 1.0 ? 0.2 : 0.0);
            const DepthScan ionisation = beamdata::testing::ionisationFromDose(dose);
            const double doseR50 = levelDepthMm(dose.depthMm, dose.value, 0.5);
            const std::optional<DoseConversion> converted = ionisationToDose(ionisation);
            ASSERT_TRUE(converted);
            EXPECT_NEAR(levelDepthMm(converted->curve.depthMm, converted->curve.value, 0.5), doseR50, 0.1) << energy;
            EXPECT_NEAR(converted->r50Mm, doseR50, 0.1) << energy;
            EXPECT_NEAR(*std::max_element(converted->curve.value.begin(), converted->curve.value.end()), 100.0, 1e-9);
            EXPECT_TRUE(converted->curve.info.convertedToDose);
        }
    }
}

TEST(IonisationToDose, DetectionAndItsOverrides) {
    const DepthScan dose = beamdata::testing::sampledCurve(beamdata::testing::shapeForEnergy(9.0), 0.5, 1.0, 60.0);
    const DepthScan ionisation = beamdata::testing::ionisationFromDose(dose);
    const double doseR50 = levelDepthMm(dose.depthMm, dose.value, 0.5);
    const auto r50 = [](const DepthScan& s) { return levelDepthMm(s.depthMm, s.value, 0.5); };
    EXPECT_NEAR(r50(depthDoseOf(ionisation, QuantityChoice::AsDetected, "m.mcc")), doseR50, 0.1);
    EXPECT_EQ(depthDoseOf(ionisation, QuantityChoice::Dose, "m.mcc").value, ionisation.value);
    EXPECT_EQ(depthDoseOf(dose, QuantityChoice::AsDetected, "m.mcc").value, dose.value);
    const DepthScan forced = depthDoseOf(dose, QuantityChoice::Ionisation, "m.mcc");
    EXPECT_TRUE(forced.info.convertedToDose);
    EXPECT_NE(forced.value, dose.value);
    DepthScan flat = ionisation;
    for (double& v : flat.value) v = 100.0;
    flat.info.firstLine = 12;
    try {
        depthDoseOf(flat, QuantityChoice::AsDetected, "flat.mcc");
        FAIL();
    } catch (const engine::RunError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "flat.mcc, line 12: the ionisation curve never falls to 50 %, so it cannot be converted to dose");
    }
}

// A reading near the largest double (a damaged export) stays a finite curve after conversion and
// in the beam-quality figures, which both work in percent of the largest reading.
TEST(IonisationToDose, AReadingNearTheLargestDoubleStaysFinite) {
    DepthScan ionisation = beamdata::testing::ionisationFromDose(
        beamdata::testing::sampledCurve(beamdata::testing::shapeForEnergy(9.0), 0.5, 1.0, 60.0));
    ionisation.value[40] = 1e308;
    const DepthScan dose = depthDoseOf(ionisation, QuantityChoice::AsDetected, "m.mcc");
    for (double v : dose.value) EXPECT_TRUE(std::isfinite(v)) << v;
    DepthScan doseReadings = beamdata::testing::sampledCurve(beamdata::testing::shapeForEnergy(9.0), 0.5, 1.0, 60.0);
    doseReadings.value[40] = 1e308;
    for (const DepthScan* curve : {&dose, static_cast<const DepthScan*>(&doseReadings)}) {
        const BeamQuality quality = beamQuality(curve->depthMm, curve->value);
        EXPECT_NEAR(quality.r100Mm, curve->depthMm[40], 1e-9);
        EXPECT_TRUE(std::isfinite(quality.surfaceDosePercent));
    }
}

}  // namespace
