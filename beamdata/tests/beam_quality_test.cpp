#include "beamdata/beam_quality.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "beamdata/level_depths.h"
#include "beamdata/measured_curve_file.h"
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
                    EXPECT_NEAR(q.rpMm, truth, 0.5) << energy << " MeV, step " << c.step;
                }
            }
        }
    }
    RecordProperty("worstRpErrorMm", std::to_string(worst));
}

}  // namespace
