// The beam-quality Rp of the clinical-like test beams at every scan step, and the fit's practical
// range as the same figure.
#include "beamdata/beam_quality.h"
#include "fit/measured_data.h"
#include "fit/test_curves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

beamdata::BeamQuality qualityOf(const fit::MeasuredCurve& c) { return beamdata::beamQuality(c.depthMm, c.dose); }

// Every beam of 6 to 20 MeV, scanned at 1 and 2 mm and thinned to 3, 4 and 5 mm in every phase:
// Rp and R50 stay where the fine scan has them, and the fit's practical range is the table's Rp.
TEST(FallOffSteps, RpAndR50DoNotMoveWithTheScanStep) {
    double worstRp = 0.0, worstR50 = 0.0;
    for (const double fineStep : {1.0, 2.0}) {
        for (const fit::ClinicalCase& c : fit::clinicalTestSet(fineStep)) {
            const fit::MeasuredCurve fine = fit::measuredDose(c);
            ASSERT_FALSE(fine.dose.empty()) << c.name;
            const beamdata::BeamQuality reference = qualityOf(fine);
            ASSERT_TRUE(std::isfinite(reference.rpMm)) << c.name;
            EXPECT_EQ(fit::practicalRangeMm(fine), reference.rpMm) << c.name;
            for (const std::size_t factor : {2u, 3u, 4u, 5u}) {
                const double step = fineStep * static_cast<double>(factor);
                if (step < 3.0 || step > 5.0) continue;
                for (std::size_t phase = 0; phase < factor; ++phase) {
                    const fit::MeasuredCurve coarse = fit::thinnedCurve(fine, factor, phase);
                    const beamdata::BeamQuality q = qualityOf(coarse);
                    const std::string where = std::string(c.name) + " at " + std::to_string(step) + " mm, phase " +
                                              std::to_string(phase);
                    EXPECT_NEAR(q.rpMm, reference.rpMm, 0.5) << where;
                    EXPECT_NEAR(q.r50Mm, reference.r50Mm, 0.3) << where;
                    EXPECT_EQ(fit::practicalRangeMm(coarse), q.rpMm) << where;
                    worstRp = std::max(worstRp, std::fabs(q.rpMm - reference.rpMm));
                    worstR50 = std::max(worstR50, std::fabs(q.r50Mm - reference.r50Mm));
                }
            }
        }
    }
    RecordProperty("worstRpMm", std::to_string(worstRp));
    RecordProperty("worstR50Mm", std::to_string(worstR50));
}

// On 1 mm steps Rp is where the steepest local tangent meets the same background: the fall-off
// model does not flatten the slope of any beam, with or without measurement noise.
TEST(FallOffSteps, OnFineStepsRpIsTheLocalTangentsRp) {
    for (const double noise : {0.0, 1.0}) {
        for (fit::ClinicalCase c : fit::clinicalTestSet(1.0)) {
            c.scan.noisePercent *= noise;
            fit::MeasuredCurve fine = fit::measuredDose(c);
            const beamdata::BeamQuality q = qualityOf(fine);
            const double largest = *std::max_element(fine.dose.begin(), fine.dose.end());
            for (double& v : fine.dose) v = 100.0 * v / largest;
            const double tangentRp = fit::localTangentPracticalRangeMm(fine, q.background.interceptPercent,
                                                                       q.background.slopePerMm);
            EXPECT_NEAR(q.rpMm, tangentRp, noise > 0.0 ? 0.4 : 0.3) << c.name << (noise > 0.0 ? ", noisy" : "");
        }
    }
}

}  // namespace
