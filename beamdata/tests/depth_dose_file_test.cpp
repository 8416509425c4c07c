// Reading the simulator's depth-dose result file back, and the R-level search on it.
#include "beamdata/depth_dose_file.h"
#include "beamdata/range_levels.h"
#include "engine/run_error.h"
#include "testsupport/test_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace beamdata {
namespace {

using testsupport::TestFolder;

// Labels -14..110 with dose 0.001 x record, `records` of them, one optional replaced line.
std::string resultText(int records, int badRecord = 0, const std::string& badLine = "") {
    std::string text = "  9.00 MeV alpha                beta                \r\n     100000.\r\n";
    for (int j = 1; j <= records; ++j) {
        char line[32];
        std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", j - 15, 0.001 * j);
        text += j == badRecord ? badLine + "\r\n" : std::string(line);
    }
    return text;
}

TEST(DepthDoseFile, ReadsTheHundredAndTwentyFiveRecordsInOrder) {
    const DepthDoseRecords records = readDepthDoseText(resultText(125));
    ASSERT_TRUE(records.complete);
    ASSERT_EQ(records.dose.size(), 125u);
    EXPECT_EQ(records.labelMm.front(), -14.0);
    EXPECT_EQ(records.labelMm.back(), 110.0);
    EXPECT_DOUBLE_EQ(records.dose[39], 0.04);
    // A negative dose that fills its field runs into the label; it is read as a value of its own.
    const DepthDoseRecords joined = readDepthDoseText(resultText(125, 40, "  25.-0.519E-07"));
    ASSERT_TRUE(joined.complete);
    EXPECT_DOUBLE_EQ(joined.dose[39], -0.519e-7);
}

TEST(DepthDoseFile, ShortOrMalformedFilesKeepWhatWasReadAndNameTheLine) {
    TestFolder folder;
    const DepthDoseRecords cut = readDepthDoseText(resultText(124));
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(cut.dose.size(), 124u);
    try {
        readDepthDoseFile(folder.write("cut.pdd", resultText(124)));
        FAIL() << "a short file was accepted";
    } catch (const engine::RunError& error) {
        EXPECT_EQ(error.lineNumber(), 127) << error.what();
        EXPECT_EQ(error.fileName(), "cut.pdd");
    }
    const DepthDoseRecords bad = readDepthDoseText(resultText(125, 40, "  25.  x.1E-01"));
    EXPECT_FALSE(bad.complete);
    EXPECT_EQ(bad.dose.size(), 39u);
    try {
        readDepthDoseFile(folder.write("bad.pdd", resultText(125, 40, "  25.  x.1E-01")));
        FAIL() << "a malformed dose was accepted";
    } catch (const engine::RunError& error) {
        EXPECT_EQ(error.lineNumber(), 42) << error.what();
    }
    EXPECT_THROW(readDepthDoseFile(folder.path() / "missing.pdd"), engine::RunError);
}

// Record n stands at label n - 15; the crossing is interpolated against the deeper record.
TEST(RangeLevels, ResultCurveCrossingsStandAtLabelDepths) {
    std::vector<double> relative(125, 0.0);
    for (int n = 1; n <= 125; ++n) {
        const double label = n - 15;
        relative[static_cast<std::size_t>(n - 1)] = label <= 40 ? 1.0 : std::max(0.0, 1.0 - 0.05 * (label - 40));
    }
    const RangeLevels levels = resultCurveLevels(relative);
    EXPECT_NEAR(*levels[levelIndex(RangeLevel::R90)], 42.0, 1e-12);
    EXPECT_NEAR(*levels[levelIndex(RangeLevel::R50)], 50.0, 1e-12);
    EXPECT_NEAR(*levels[levelIndex(RangeLevel::R10)], 58.0, 1e-12);
    // A curve that ends above a level has no crossing for it.
    relative.back() = 0.6;
    EXPECT_FALSE(resultCurveLevels(relative)[levelIndex(RangeLevel::R50)].has_value());
}

TEST(RangeLevels, CurveWithItsOwnDepthsIsRelativeToItsLargestDose) {
    const std::vector<double> depth = {0, 10, 20, 30, 40, 50};
    const std::vector<double> dose = {80, 200, 190, 100, 20, 4};
    const RangeLevels levels = curveLevels(depth, dose);
    // 90 % of 200 = 180 between 20 mm (190) and 30 mm (100): 20 + 10 x 10/90.
    EXPECT_NEAR(*levels[levelIndex(RangeLevel::R90)], 20.0 + 100.0 / 90.0, 1e-12);
    EXPECT_NEAR(*levels[levelIndex(RangeLevel::R50)], 30.0, 1e-12);
    EXPECT_NEAR(*levels[levelIndex(RangeLevel::R10)], 40.0 + 10.0 * (20.0 - 20.0) / 16.0, 1e-12);
    // A dose exactly at the level is not above it: the crossing is at the last record above.
    EXPECT_EQ(findLevelCrossing(std::vector<double>{1.0, 0.5, 0.5}, 2, 0.5)->record, 0u);
    // The search never reaches beyond the curve.
    EXPECT_FALSE(findLevelCrossing(std::vector<double>{1.0, 0.9, 0.8}, 2, 0.5).has_value());
}

}  // namespace
}  // namespace beamdata
