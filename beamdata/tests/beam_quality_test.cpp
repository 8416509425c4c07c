#include "beamdata/beam_quality.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "beamdata/measured_curve_file.h"
#include "beamdata/range_levels.h"
#include "synthetic_depth_dose.h"

namespace {

using namespace beamdata;
using namespace beamdata::testing;

BeamQuality qualityOf(const DepthScan& scan) { return beamQuality(scan.depthMm, scan.value); }

// Rp against the tangent construction on the dense noiseless curve, for beams of 6 to 20 MeV, fine
// and coarse steps, noise on the fine ones, and fall-offs skewed away from the Gaussian tail.
TEST(PracticalRange, AgreesWithTheTangentConstructionOnFineAndCoarseSteps) {
    double worst = 0.0;
    for (double energy : {6.0, 9.0, 12.0, 16.0, 20.0}) {
        for (double skew : {0.8, 1.0, 1.4, 2.0}) {
            const ElectronShape shape = shapeForEnergy(energy, skew);
            const double truth = tangentPracticalRangeMm(shape);
            const double last = 1.6 * truth;
            struct Case {
                double step;
                double noise;
            };
            for (const Case c : {Case{0.5, 0.0}, Case{0.5, 0.5}, Case{1.0, 0.3}, Case{2.0, 0.0}, Case{3.0, 0.0},
                                 Case{2.0, 0.3}, Case{5.0, 0.0}}) {
                for (double offset : {0.0, 0.4 * c.step}) {
                    const DepthScan scan = sampledCurve(shape, 0.5 + offset, c.step, last, c.noise, 7);
                    const BeamQuality q = qualityOf(scan);
                    const double error = q.rpMm - truth;
                    worst = std::max(worst, std::fabs(error));
                    EXPECT_NEAR(q.rpMm, truth, 0.5)
                        << energy << " MeV, step " << c.step << " skew " << skew << " offset " << offset;
                }
            }
        }
    }
    RecordProperty("worstRpErrorMm", std::to_string(worst));
}

// On a noiseless curve the other figures follow their definitions: levels as the search gives
// them, d_max where the shape peaks, Ds at 0.5 mm, Dx the background at Rp, G from Rp and Rq, and
// the energies and reference depth exactly by their formulas.
TEST(BeamQualityFigures, FollowTheirDefinitions) {
    const ElectronShape shape = shapeForEnergy(12.0);
    const DepthScan scan = sampledCurve(shape, 0.0, 0.25, 110.0);
    const BeamQuality q = qualityOf(scan);
    EXPECT_EQ(q.r50Mm, levelDepthMm(scan.depthMm, scan.value, 0.5));
    EXPECT_EQ(q.r80Mm, levelDepthMm(scan.depthMm, scan.value, 0.8));
    EXPECT_EQ(q.r90Mm, levelDepthMm(scan.depthMm, scan.value, 0.9));
    double peakDepth = 0.0, peak = 0.0;
    for (double z = 0.0; z < 60.0; z += 0.01)
        if (shapeValue(shape, z) > peak) peak = shapeValue(shape, z), peakDepth = z;
    EXPECT_NEAR(q.r100Mm, peakDepth, 0.5);  // a broad, lopsided peak: d_max to half a millimetre
    EXPECT_NEAR(q.surfaceDosePercent, 100.0 * shapeValue(shape, 0.5) / peak, 0.01);
    const double backgroundAtRp = shape.backgroundPercent * (1.0 - q.rpMm / shape.backgroundEndMm) / peak;
    EXPECT_NEAR(q.backgroundPercent, backgroundAtRp, 0.05);  // the last of the toe lifts it a little
    EXPECT_DOUBLE_EQ(q.gradient, q.rpMm / (q.rpMm - q.rqMm));
    EXPECT_NEAR(q.rqMm, q.tangent.depthMm + (100.0 - q.tangent.percent) / q.tangent.slopePerMm, 1e-9);
    EXPECT_DOUBLE_EQ(q.meanEnergyMeV, 2.33 * q.r50Mm / 10.0);
    EXPECT_DOUBLE_EQ(q.mostProbableEnergyMeV, 0.22 + 1.98 * q.rpMm / 10.0 + 0.0025 * std::pow(q.rpMm / 10.0, 2));
    EXPECT_DOUBLE_EQ(q.referenceDepthMm, 10.0 * (0.6 * q.r50Mm / 10.0 - 0.1));
    EXPECT_NEAR(q.meanEnergyMeV, 12.0, 1.0);  // the shape was made for 12 MeV
}

// The machine line: two decimals, G with three, the energies and z_ref from R50 and Rp as printed.
TEST(BeamQualityFigures, QualityFieldsCanBeCheckedFromTheLine) {
    BeamQuality q{};
    q.r100Mm = 23.104;
    q.r90Mm = 29.2;
    q.r80Mm = 31.6;
    q.r50Mm = 36.674;
    q.rpMm = 44.096;
    q.rqMm = 22.0;
    q.gradient = 44.096 / (44.096 - 22.0);
    q.surfaceDosePercent = 80.9;
    q.backgroundPercent = std::nan("");
    EXPECT_EQ(qualityFields(q),
              "R100=23.10 R90=29.20 R80=31.60 R50=36.67 Rp=44.10 Rq=22.00 G=1.996 Ds=80.90 Dx=- E0=8.54 Ep0=9.00 "
              "zref=21.00");
    // 2.33 x 3.667 = 8.544; 0.22 + 1.98 x 4.41 + 0.0025 x 4.41^2 = 9.0004; 0.6 x 36.67 - 1 = 21.002.
}

// The simulated example: Rp against a tangent drawn through the steepest pair of its own points.
TEST(PracticalRange, TheExampleAgreesWithItsOwnSteepestSecant) {
    const DepthScan example = readMeasuredFile(EXAMPLE_CSV_PATH).depthScans.front();
    double steepest = 0.0, depth = 0.0, percent = 0.0;
    for (std::size_t k = 1; k + 1 < example.value.size(); ++k) {
        const double slope = (example.value[k + 1] - example.value[k - 1]) /
                             (example.depthMm[k + 1] - example.depthMm[k - 1]);
        if (slope < steepest) steepest = slope, depth = example.depthMm[k], percent = example.value[k];
    }
    const double tangentRp = depth - percent / steepest;  // no background in this engine's curves
    const BeamQuality q = qualityOf(example);
    EXPECT_NEAR(q.rpMm, tangentRp, 0.5);
    EXPECT_NEAR(q.backgroundPercent, 0.0, 0.01);
}

}  // namespace
