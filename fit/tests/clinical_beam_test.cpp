// The clinical-like test beams the free-form fit is benchmarked on: they must follow the
// full-physics figures they are built from and respond to field, divergence, background and
// detector as clinical beams do.
#include "fit/clinical_beam.h"

#include "beamdata/depth_scan.h"
#include "beamdata/ionisation_to_dose.h"
#include "fit/range_levels.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(TestCurves, ClinicalBeamsFollowTheFullPhysicsFiguresAndGrowWithEnergy) {
    // A narrow beam without a tail is the monoenergetic reference: R50 3.667 cm at 9 MeV.
    fit::ClinicalBeam narrow;
    narrow.peakMeV = 9.0;
    narrow.spread = 0.005;
    narrow.tailFraction = 0.0;
    narrow.surfaceLift = 0.0;
    const fit::LevelDepths r9 = fit::resultCurveLevels(fit::clinicalDepthDose(narrow));
    EXPECT_NEAR(r9[2], 36.67, 0.3);
    EXPECT_NEAR(r9[0], 29.2, 0.5);
    fit::ClinicalBeam broad = narrow;
    broad.spread = 0.05;
    broad.tailFraction = 0.15;
    const fit::LevelDepths b9 = fit::resultCurveLevels(fit::clinicalDepthDose(broad));
    EXPECT_LT(b9[0], r9[0]);  // a broader beam falls off earlier and more gently
    EXPECT_GT(b9[3] - b9[0], r9[3] - r9[0]);
    narrow.peakMeV = 16.0;
    EXPECT_NEAR(fit::resultCurveLevels(fit::clinicalDepthDose(narrow))[2], 66.92, 0.4);
}

fit::ClinicalBeam beam20(double fieldCm, double sourceDistanceCm) {
    fit::ClinicalBeam b;
    b.peakMeV = 20.0;
    b.spread = 0.04;
    b.tailFraction = 0.1;
    b.fieldCm = fieldCm;
    b.sourceDistanceCm = sourceDistanceCm;
    return b;
}

TEST(ClinicalBeam, SmallFieldsAndDivergencePullTheCurveShallower) {
    const fit::LevelDepths broad = fit::resultCurveLevels(fit::clinicalDepthDose(beam20(0.0, 0.0)));
    const fit::LevelDepths f15 = fit::resultCurveLevels(fit::clinicalDepthDose(beam20(15.0, 0.0)));
    const fit::LevelDepths f10 = fit::resultCurveLevels(fit::clinicalDepthDose(beam20(10.0, 0.0)));
    // A 10 x 10 cm field at 20 MeV has lost lateral equilibrium near the end of the range: R50 and
    // R10 move shallower by a millimetre or two, R90 hardly; 15 x 15 cm is nearly broad.
    EXPECT_NEAR(f15[2], broad[2], 0.3);
    EXPECT_LT(f10[2], f15[2] - 0.2);
    EXPECT_GT(f10[2], f15[2] - 2.0);
    EXPECT_LT(f10[3], f15[3] - 0.2);
    EXPECT_NEAR(f10[0], f15[0], 0.3);
    // The inverse square from a virtual source 100 cm away takes some 7 % off the shoulder at 60 mm
    // against the maximum near 25 mm: R90 moves several millimetres, R50 less.
    const fit::LevelDepths diverging = fit::resultCurveLevels(fit::clinicalDepthDose(beam20(15.0, 100.0)));
    EXPECT_LT(diverging[0], f15[0] - 3.0);
    EXPECT_LT(diverging[2], f15[2] - 1.0);
    EXPECT_LT(f15[0] - diverging[0], 2.0 * (f15[2] - diverging[2]) + 6.0);
}

TEST(ClinicalBeam, IsScannedAsAskedWithItsBackgroundAndAsChamberReadings) {
    fit::PhotonBackground photons;
    photons.atRpPercent = 4.0;
    photons.slopePerMm = 0.003;
    photons.buildUp = 0.5;
    fit::TankScan scan;
    scan.firstDepthMm = 0.5;
    scan.buildUpStepMm = 0.5;
    scan.stepMm = 3.0;
    scan.beyondRpMm = 25.0;
    scan.noisePercent = 0.0;
    const fit::TankMeasurement m = fit::measureClinicalBeam(beam20(10.0, 95.0), photons, scan);
    const auto& z = m.curve.depthMm;
    EXPECT_EQ(z.front(), 0.5);
    EXPECT_EQ(z[1] - z[0], 0.5);
    EXPECT_EQ(z.back() - z[z.size() - 2], 3.0);
    EXPECT_NEAR(z.back(), m.practicalRangeMm + 25.0, 3.0);
    // The tail is the photons alone: 4 % of the maximum at Rp, falling 0.3 % per mm.
    const double tail = m.curve.dose.back() / 100.0;
    EXPECT_NEAR(tail, 0.04 * std::exp(-0.003 * (z.back() - m.practicalRangeMm)), 0.002);
    // Under the surface the photons are built up: the reading there is below one with a flat line.
    fit::PhotonBackground line = photons;
    line.buildUp = 0.0;
    EXPECT_LT(m.curve.dose.front(), fit::measureClinicalBeam(beam20(10.0, 95.0), line, scan).curve.dose.front() - 1.0);

    // As chamber readings, the reader's conversion to dose gives back the dose's R50 within the
    // accuracy of the relation between I50 and R50.
    scan.ionisation = true;
    const fit::TankMeasurement ion = fit::measureClinicalBeam(beam20(10.0, 95.0), photons, scan);
    beamdata::DepthScan readings;
    readings.info.quantity = beamdata::Quantity::Ionisation;
    readings.depthMm = ion.curve.depthMm;
    readings.value = ion.curve.dose;
    const beamdata::DepthScan dose = beamdata::depthDoseOf(readings, beamdata::QuantityChoice::AsDetected, "ion");
    EXPECT_NEAR(fit::measuredLevels({dose.depthMm, dose.value})[2], m.r50Mm, 1.0);
    EXPECT_GT(ion.r50Mm - fit::measuredLevels(ion.curve)[2], 1.0);  // I50 lies shallower than R50
}

}  // namespace
