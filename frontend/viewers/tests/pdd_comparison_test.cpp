#include "viewers/pdd_comparison.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace orvalis::viewers {
namespace {

using Table = std::array<double, PDD_TABLE_LAST + 1>;

// A calculated file in the simulator's layout, with the dose of record i given by `dose(i)`.
std::string calculatedFile(const std::function<double(int)>& dose, int records = CALCULATED_RECORD_COUNT) {
    std::string text = "  9.00 MeV \x83\xBF=8.0               \x83\xC0=2.0               \r\n   10000000.\r\n";
    for (int i = 1; i <= records; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", i - 15, dose(i));
        text += line;
    }
    return text;
}

std::optional<double> rangeOf(const PddLoad& load, RangeLevel level) {
    for (const RangeResult& r : load.ranges)
        if (r.level == level) return r.rangeMm;
    return std::nullopt;
}

TEST(CalculatedRange, RecordIndexesMapToDepthsAndEntry126IsUsedUnchanged) {
    Table dose{};
    // Falls through 50 % exactly at record 65 (p = 0.5 there, above it at record 64).
    const PddLoad load = loadCalculatedPdd(calculatedFile([](int i) { return i < 65 ? 1.0 : (i == 65 ? 0.5 : 0.2); }),
                                           dose);
    ASSERT_TRUE(load.ok);
    EXPECT_DOUBLE_EQ(*rangeOf(load, RangeLevel::R50), 50.0);
    // Search order is R50, R80, R90, R10.
    ASSERT_EQ(load.ranges.size(), 4u);
    EXPECT_EQ(load.ranges[0].level, RangeLevel::R50);
    EXPECT_EQ(load.ranges[3].level, RangeLevel::R10);
    EXPECT_DOUBLE_EQ(*rangeOf(load, RangeLevel::R80), 65.0 - (0.5 - 0.8) / (0.5 - 1.0) - 15.0);
    EXPECT_DOUBLE_EQ(*rangeOf(load, RangeLevel::R10), 126.0 - (0.0 - 0.1) / (0.0 - 0.2) - 15.0);

    // Still above 10 % at record 125: interpolated against entry 126, 0 here...
    Table high{};
    const std::string stillHigh = calculatedFile([](int i) { return i == 125 ? 0.95 : 1.0; });
    EXPECT_NEAR(*rangeOf(loadCalculatedPdd(stillHigh, high), RangeLevel::R10), 126.0 - 0.1 / 0.95 - 15.0, 1e-12);
    // ...or whatever a longer measured file left there.
    high[126] = 0.5;
    EXPECT_NEAR(*rangeOf(loadCalculatedPdd(stillHigh, high), RangeLevel::R10), 126.0 - 0.4 / -0.45 - 15.0, 1e-12);
    high[126] = 0.95;  // equal neighbours: a division by zero fails the load at its first level
    const PddLoad fault = loadCalculatedPdd(stillHigh, high);
    EXPECT_FALSE(fault.ok);
    EXPECT_TRUE(fault.ranges.empty());
    EXPECT_TRUE(fault.curveDrawn);
}

TEST(CalculatedLoad, FailuresKeepWhatWasRead) {
    Table dose{};
    dose[130] = 7.0;
    PddLoad load = loadCalculatedPdd(calculatedFile([](int i) { return i; }, 124), dose);  // one record short
    EXPECT_FALSE(load.ok);
    EXPECT_EQ(load.recordCount, 124);
    EXPECT_FALSE(load.maxDose.has_value());
    EXPECT_DOUBLE_EQ(dose[124], 124.0);
    EXPECT_DOUBLE_EQ(dose[130], 7.0);  // entries past 125 are never written

    std::string bad = calculatedFile([](int) { return 1.0; });
    bad.replace(bad.find("1.000E+00"), 9, "1.0x0E+00");
    load = loadCalculatedPdd(bad, dose);
    EXPECT_FALSE(load.ok);
    EXPECT_EQ(load.recordCount, 0);

    load = loadCalculatedPdd(calculatedFile([](int) { return 0.0; }), dose);
    EXPECT_FALSE(load.ok);
    EXPECT_FALSE(load.curveDrawn);
    ASSERT_TRUE(load.maxDose.has_value());
    EXPECT_EQ(*load.maxDose, 0.0);

    EXPECT_FALSE(loadCalculatedPdd("only one header line\r\n", dose).ok);
}

TEST(CalculatedLoad, ReadsBothExponentFormsAndDrawsRecords16To115) {
    std::string text = "h1\nh2\n";
    for (int i = 1; i <= 125; ++i) text += std::to_string(i - 15) + (i % 2 ? ". 0.100E+01\n" : ".  .500E+00\n");
    Table dose{};
    const PddLoad load = loadCalculatedPdd(text, dose);
    EXPECT_EQ(load.recordCount, 125);
    EXPECT_DOUBLE_EQ(dose[1], 1.0);
    EXPECT_DOUBLE_EQ(dose[2], 0.5);
    const auto points = calculatedCurvePoints(dose, 2.0);
    ASSERT_EQ(points.size(), 100u);
    EXPECT_DOUBLE_EQ(points.front().x, 50.0);
    EXPECT_DOUBLE_EQ(points.front().y, 1000.0 * dose[16] / 2.0);
    EXPECT_DOUBLE_EQ(points[1].x, 200.0);
    EXPECT_DOUBLE_EQ(points.back().x, 10000.0);
    EXPECT_DOUBLE_EQ(points.back().y, 1000.0 * dose[115] / 2.0);
}

// A measured file of n records with depth i mm and the dose falling linearly from 100 to `last`.
std::string measuredFile(int n, double last, const std::string& lineEnd = "\n") {
    std::string text = "depth,dose" + lineEnd;
    for (int i = 1; i <= n; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%d, %.10g", i, 100.0 + (last - 100.0) * (i - 1) / (n - 1));
        text += line + lineEnd;
    }
    return text;
}

TEST(MeasuredRange, CrossingThatNeedsEntry151Fails) {
    Table depth{}, dose{};
    PddLoad load = loadMeasuredPdd(measuredFile(150, 20.0), depth, dose);
    EXPECT_EQ(load.recordCount, 150);
    EXPECT_TRUE(load.curveDrawn);
    EXPECT_FALSE(load.ok);
    EXPECT_EQ(load.ranges.size(), 3u);  // R50, R80 and R90 were found before R10 failed
    EXPECT_NEAR(*rangeOf(load, RangeLevel::R50), 1.0 + 149.0 * 50.0 / 80.0, 1e-6);

    depth = {};
    dose = {};
    load = loadMeasuredPdd(measuredFile(149, 20.0), depth, dose);
    ASSERT_TRUE(load.ok);
    // R10 interpolated against the zeroed entry 150: depth 149 x 0.1 / p(149).
    EXPECT_NEAR(*rangeOf(load, RangeLevel::R10), 149.0 * 0.1 / 0.2, 1e-9);
}

TEST(MeasuredLoad, AcceptsFilesPeopleBring) {
    Table depth{}, dose{};
    const std::string text =
        "\xEF\xBB\xBF\"Depth\",\"Dose\"\r\n\"0\",\"80\"\r\n10 100\r\n20,\t50\r\n30 , 0\r\n\r\n  \r\n";
    const PddLoad load = loadMeasuredPdd(text, depth, dose);
    EXPECT_TRUE(load.ok);
    EXPECT_EQ(load.recordCount, 4);
    EXPECT_DOUBLE_EQ(depth[3], 20.0);
    EXPECT_DOUBLE_EQ(dose[1], 80.0);
    EXPECT_DOUBLE_EQ(*load.maxDose, 100.0);
    EXPECT_DOUBLE_EQ(*rangeOf(load, RangeLevel::R50), 20.0);
    EXPECT_DOUBLE_EQ(*rangeOf(load, RangeLevel::R90), 20.0 - 10.0 * (0.5 - 0.9) / (0.5 - 1.0));
    const auto points = measuredCurvePoints(depth, dose, 100.0, load.recordCount);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_DOUBLE_EQ(points[1].x, 1000.0);
    EXPECT_DOUBLE_EQ(points[1].y, 1000.0);
}

TEST(MeasuredLoad, RefusesBadFiles) {
    Table depth{}, dose{};
    EXPECT_FALSE(loadMeasuredPdd(measuredFile(151, 5.0), depth, dose).ok);
    const PddLoad headerOnly = loadMeasuredPdd("depth,dose\n", depth, dose);
    EXPECT_FALSE(headerOnly.ok);
    EXPECT_EQ(headerOnly.recordCount, 0);
    EXPECT_EQ(*headerOnly.maxDose, 0.0);
    depth = {};
    dose = {};
    const PddLoad word = loadMeasuredPdd("h\n1,50\n2,abc\n", depth, dose);
    EXPECT_FALSE(word.ok);
    EXPECT_EQ(word.recordCount, 1);
    EXPECT_DOUBLE_EQ(depth[2], 2.0);  // the depth of the broken record was stored before the dose failed
    EXPECT_FALSE(loadMeasuredPdd("h\n1,50\n2\n", depth, dose).ok);  // a depth without its dose
    EXPECT_FALSE(loadMeasuredPdd("", depth, dose).ok);
}

TEST(CurveLoads, AbsurdValuesAreRefusedAndNotDrawn) {
    Table dose{};
    // A dose of -1e6 or -1e308 beside a maximum of 1: no depth dose, and a curve far off the plot.
    for (double absurd : {-1.0e6, -1.0e308}) {
        const PddLoad load = loadCalculatedPdd(calculatedFile([&](int i) { return i == 60 ? absurd : 1.0; }), dose);
        EXPECT_FALSE(load.ok) << absurd;
        EXPECT_FALSE(load.curveDrawn) << absurd;
        const std::optional<double> percent = readoutPercent(dose, *load.maxDose, 45);
        if (percent) {
            EXPECT_TRUE(std::isfinite(*percent)) << *percent;  // no "-inf" in the read-out
        }
    }
    // A noisy tail a little below zero is a depth dose.
    EXPECT_TRUE(loadCalculatedPdd(calculatedFile([](int i) { return i < 60 ? 1.0 : -0.002; }), dose).curveDrawn);

    Table depth{};
    EXPECT_FALSE(loadMeasuredPdd("h\n1,100\n2,-150\n3,0\n", depth, dose).curveDrawn);
    EXPECT_FALSE(loadMeasuredPdd("h\n1,100\n1e300,50\n3,0\n", depth, dose).curveDrawn);
    EXPECT_FALSE(loadMeasuredPdd("h\n1,100\n2,50\n1e999,0\n", depth, dose).ok);  // no number: overflows
    EXPECT_TRUE(loadMeasuredPdd("h\n-2,80\n1,100\n20,50\n30,-1\n", depth, dose).ok);
}

TEST(PddReadout, EdgesOfTheFrame) {
    EXPECT_FALSE(readoutDepthMm(0.0).has_value());
    EXPECT_FALSE(readoutDepthMm(10000.0).has_value());
    EXPECT_FALSE(readoutDepthMm(-3.0).has_value());
    EXPECT_EQ(readoutDepthMm(99.9), 0);
    EXPECT_EQ(readoutDepthMm(100.0), 1);
    EXPECT_EQ(readoutDepthMm(9999.0), 99);
    Table dose{};
    dose[15] = 0.25;
    dose[114] = 0.5;
    EXPECT_DOUBLE_EQ(*readoutPercent(dose, 0.5, 0), 50.0);
    EXPECT_DOUBLE_EQ(*readoutPercent(dose, 0.5, 99), 100.0);
    EXPECT_FALSE(readoutPercent(dose, 0.0, 10).has_value());
}

TEST(RangeTable, DifferencesComeFromTheShownTexts) {
    EXPECT_EQ(rangeText(50.0), "50.00");
    EXPECT_EQ(rangeText(0.125), "0.13");
    EXPECT_EQ(rangeText(110.8947368), "110.89");
    EXPECT_EQ(differenceText("12.35", "12.34"), "0.01");
    // Unrounded 12.346 and 12.344 differ by 0.002, but the table shows 12.35 and 12.34.
    EXPECT_EQ(differenceText(rangeText(12.346), rangeText(12.344)), "0.01");
    EXPECT_EQ(differenceText("40.00", "42.50"), "2.50");
    EXPECT_EQ(differenceText("7.5 typed", ""), "7.50");  // a typed value takes part like a loaded one
}

// "± 0.21" beside a calculated field; a shown difference is marked when it is larger than twice
// the combined standard uncertainty, not when it equals it, and never without an uncertainty.
TEST(RangeTable, UncertaintyLabelAndTheMarkOfADifference) {
    EXPECT_EQ(uncertaintyText(0.2149), "\u00b1 0.21");
    EXPECT_EQ(uncertaintyText(1.5), "\u00b1 1.50");
    EXPECT_TRUE(differenceExceedsUncertainty("30.25", "30.00", 0.12));
    EXPECT_FALSE(differenceExceedsUncertainty("30.25", "30.00", 0.125));  // 0.25 is not above 0.25
    EXPECT_FALSE(differenceExceedsUncertainty("29.75", "30.00", 0.2));
    EXPECT_TRUE(differenceExceedsUncertainty("29.60", "30.00", 0.15));  // either direction
    EXPECT_FALSE(differenceExceedsUncertainty("30.25", "30.00", std::nullopt));
    EXPECT_FALSE(differenceExceedsUncertainty("", "30.00", 0.01));
    // A measured uncertainty adds in quadrature: 2 x sqrt(0.09^2 + 0.12^2) = 0.30.
    EXPECT_TRUE(differenceExceedsUncertainty("30.29", "30.00", 0.09));
    EXPECT_FALSE(differenceExceedsUncertainty("30.29", "30.00", 0.09, 0.12));
}

}  // namespace
}  // namespace orvalis::viewers
