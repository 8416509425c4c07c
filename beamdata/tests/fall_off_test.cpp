#include "beamdata/fall_off.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "beamdata/beam_quality.h"
#include "synthetic_depth_dose.h"

namespace {

using namespace beamdata;
using namespace beamdata::testing;

// A million points: the figures come in time linear in the points (a method that fits around every
// point of the fall-off, as before, took 6.9 s for 320 000 and would need hours here), and the fall-off
// fitted to the means of groups of points is the one fitted to a 0.5 mm scan of the same beam.
TEST(FallOff, AMillionPointsTakeLinearTime) {
    const ElectronShape shape = shapeForEnergy(12.0, 1.4);
    const DepthScan dense = sampledCurve(shape, 0.0, 1e-4, 100.0 - 1e-4);
    ASSERT_EQ(dense.depthMm.size(), 1000000u);
    const auto start = std::chrono::steady_clock::now();
    const BeamQuality q = beamQuality(dense.depthMm, dense.value);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 60.0);  // about 1 s unloaded, 3 s on a busy machine: never a chance failure
    const DepthScan scan = sampledCurve(shape, 0.0, 0.5, 100.0);
    const BeamQuality coarse = beamQuality(scan.depthMm, scan.value);
    EXPECT_NEAR(q.rpMm, coarse.rpMm, 0.05);
    EXPECT_NEAR(q.rpMm, tangentPracticalRangeMm(shape), 0.3);
    EXPECT_NEAR(q.backgroundPercent, coarse.backgroundPercent, 0.02);
    RecordProperty("seconds", std::to_string(seconds));
}

// The model's tangent is its own: at the centre, with the model's dose and slope; Rp where it meets
// the background, Rq where it meets 100 %, Dx the background at Rp. A curve without a fall-off, or
// with too few points on it, has none.
TEST(FallOff, TangentRpAndDxFollowTheModel) {
    const ElectronShape shape = shapeForEnergy(9.0);
    const DepthScan scan = sampledCurve(shape, 0.5, 1.0, 80.0);
    const std::optional<FallOff> f = fallOff(scan.depthMm, scan.value);
    ASSERT_TRUE(f);
    const double h = 1e-4;
    const double c = f->model.centreMm;
    EXPECT_DOUBLE_EQ(f->tangent.depthMm, c);
    EXPECT_NEAR(f->tangent.percent, f->percentAt(c), 1e-9);
    EXPECT_NEAR(f->tangent.slopePerMm, (f->percentAt(c + h) - f->percentAt(c - h)) / (2 * h), 1e-5);
    for (const double d : {c - 2.0, c - 0.5, c + 0.5, c + 2.0}) {  // the steepest point is the centre
        EXPECT_GT((f->percentAt(d + h) - f->percentAt(d - h)) / (2 * h), f->tangent.slopePerMm);
    }
    const Tangent& t = f->tangent;
    EXPECT_NEAR(t.percent + t.slopePerMm * (f->rpMm - t.depthMm), f->background.atMm(f->rpMm), 1e-9);
    EXPECT_NEAR(t.percent + t.slopePerMm * (f->rqMm - t.depthMm), 100.0, 1e-9);
    EXPECT_DOUBLE_EQ(f->backgroundAtRpPercent(), f->background.atMm(f->rpMm));
    EXPECT_GT(f->background.points, 3);

    const std::vector<double> depth = {0, 5, 10, 15, 20}, flat = {90, 95, 100, 99, 100};
    EXPECT_FALSE(fallOff(depth, flat));
    const std::vector<double> twoPoints = {90, 95, 100, 40, 2};
    EXPECT_FALSE(fallOff(depth, twoPoints));
    const std::vector<double> cut = {95, 100, 96, 60, 20};  // no tail: Dx unknown, Rp at zero dose
    const std::optional<FallOff> noTail = fallOff(depth, cut);
    ASSERT_TRUE(noTail);
    EXPECT_TRUE(std::isnan(noTail->backgroundAtRpPercent()));
    EXPECT_NEAR(noTail->tangent.percent + noTail->tangent.slopePerMm * (noTail->rpMm - noTail->tangent.depthMm), 0.0,
                1e-9);
}

}  // namespace
