#include "viewers/measured_import.h"

#include <gtest/gtest.h>

#include <cmath>

#include "beamdata/range_levels.h"

namespace {

using namespace orvalis::viewers;

// A long noisy-free curve on 0.2 mm steps: resampled onto 150 of its own points that keep the
// peak, the shoulder and the fall-off, so that R50 hardly moves.
TEST(Resampling, KeepsTheShapeOfALongCurve) {
    std::vector<double> z, v;
    for (double d = 0.0; d <= 80.0; d += 0.2) {
        z.push_back(d);
        v.push_back((0.8 + 0.2 * (1.0 - std::exp(-d / 8.0))) * 0.5 * std::erfc((d - 40.0) / 6.0) + 0.5);
    }
    const ResampledCurve r = resampleKeepingShape(z, v);
    ASSERT_EQ(r.depthMm.size(), 150u);
    EXPECT_EQ(r.originalCount, z.size());
    EXPECT_EQ(r.depthMm.front(), 0.0);
    EXPECT_EQ(r.depthMm.back(), z.back());
    EXPECT_LT(r.largestDeparturePercent, 0.1);
    EXPECT_NEAR(beamdata::levelDepthMm(r.depthMm, r.value, 0.5), beamdata::levelDepthMm(z, v, 0.5), 0.01);
    EXPECT_EQ(*std::max_element(r.value.begin(), r.value.end()), *std::max_element(v.begin(), v.end()));
    const ResampledCurve shortCurve = resampleKeepingShape(std::span(z).first(100), std::span(v).first(100));
    EXPECT_EQ(shortCurve.depthMm.size(), 100u);
    EXPECT_EQ(shortCurve.largestDeparturePercent, 0.0);
}

TEST(WaterTankNote, SaysWhatWasLoadedAndResampled) {
    beamdata::ScanInfo info;
    info.energyMeV = 9.0;
    info.quantity = beamdata::Quantity::Ionisation;
    info.convertedToDose = true;
    ResampledCurve r;
    r.originalCount = 401;
    r.depthMm.assign(150, 0.0);
    r.largestDeparturePercent = 0.034;
    EXPECT_EQ(measuredNote("tank.mcc", 2, info, r),
              "tank.mcc, curve 2: 9 MeV, ionisation \xE2\x86\x92 dose; 401 points resampled onto 150 depths "
              "(shape kept within 0.03 %)");
    EXPECT_TRUE(isWaterTankText("BEGIN_SCAN_DATA\n"));
    EXPECT_FALSE(isWaterTankText("depth,dose\n1,2\n"));
}

// The table: a row per figure, the difference measured - calculated where both are known.
TEST(BeamQualityRows, MeasuredCalculatedAndDifference) {
    beamdata::BeamQuality m{}, c{};
    for (const beamdata::QualityFigure& f : beamdata::QUALITY_FIGURES) m.*f.value = c.*f.value = std::nan("");
    m.r50Mm = 36.70;
    c.r50Mm = 36.25;
    m.gradient = 2.5;
    const std::vector<QualityRow> rows = qualityRows(m, c);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[3].figure, "R50 (mm)");
    EXPECT_EQ(rows[3].measured, "36.70");
    EXPECT_EQ(rows[3].calculated, "36.25");
    EXPECT_EQ(rows[3].difference, "0.45");
    EXPECT_EQ(rows[6].figure, "G");
    EXPECT_EQ(rows[6].measured, "2.500");
    EXPECT_EQ(rows[6].difference, "");
    EXPECT_EQ(qualityRows(std::nullopt, c)[3].measured, "");

    // With the calculated ranges' uncertainties the calculated R90/R80/R50 carry them; a figure
    // the curve does not give, or a level without one, stays as it was.
    beamdata::RangeLevels sigma{};
    sigma[beamdata::levelIndex(beamdata::RangeLevel::R50)] = 0.214;
    sigma[beamdata::levelIndex(beamdata::RangeLevel::R90)] = 0.5;
    const std::vector<QualityRow> withSigma = qualityRows(m, c, sigma);
    EXPECT_EQ(withSigma[3].calculated, "36.25 \u00b1 0.21");
    EXPECT_EQ(withSigma[3].difference, "0.45");
    EXPECT_EQ(withSigma[1].calculated, "");  // R90 unknown on this curve
    EXPECT_EQ(withSigma[2].calculated, "");
}

// The calculated curve as the plot places it: record 16 at 0.5 mm, then label depths.
TEST(BeamQualityRows, CalculatedCurveStandsWhereThePlotPutsIt) {
    std::array<double, PDD_TABLE_LAST + 1> dose{};
    for (int i = 1; i <= 125; ++i) dose[static_cast<std::size_t>(i)] = i;
    std::vector<double> z, v;
    calculatedCurvePoints(dose, z, v);
    ASSERT_EQ(z.size(), 110u);
    EXPECT_EQ(z[0], 0.5);
    EXPECT_EQ(v[0], 16.0);
    EXPECT_EQ(z[1], 2.0);
    EXPECT_EQ(v[1], 17.0);
    EXPECT_EQ(z.back(), 110.0);
}

}  // namespace
