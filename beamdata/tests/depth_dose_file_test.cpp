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

// sigma_R = sigma_D(R) / |dD/dz|: on a fall-off of 5 % per mm, a constant 1 % gives 0.2 mm at
// every level, and an uncertainty that changes between the two records is taken at the crossing.
TEST(RangeLevels, LevelUncertaintyIsTheDoseUncertaintyOverTheSlope) {
    std::vector<double> relative(125, 0.0);
    for (int n = 1; n <= 125; ++n) {
        const double label = n - 15;
        relative[static_cast<std::size_t>(n - 1)] = label <= 40 ? 1.0 : std::max(0.0, 1.0 - 0.05 * (label - 40));
    }
    std::vector<double> sd(125, 0.01);
    RangeLevels sigmas = resultCurveLevelUncertainties(relative, sd);
    for (const RangeLevel level : RANGE_LEVELS) EXPECT_NEAR(*sigmas[levelIndex(level)], 0.2, 1e-12) << levelName(level);
    // Record n (index n - 1) stands at label n - 15. R50 and R80 fall on the deeper record of their
    // pair (labels 50 and 44), which gives its uncertainty; R90, moved between labels 42 (0.92) and
    // 43 (0.85), takes it 2/7 of the way from 0.03 to 0.02, and its slope from labels 41 to 44
    // stays 5 % per mm although the pair alone says 7.
    sd[64] = 0.03;                 // label 50
    sd[57] = 0.02, sd[58] = 0.04;  // labels 43 and 44
    sd[56] = 0.03;                 // label 42
    relative[56] = 0.92;
    sigmas = resultCurveLevelUncertainties(relative, sd);
    EXPECT_NEAR(*sigmas[levelIndex(RangeLevel::R50)], 0.03 / 0.05, 1e-12);
    EXPECT_NEAR(*sigmas[levelIndex(RangeLevel::R80)], 0.04 / ((0.92 - 0.75) / 3.0), 1e-12);  // label 42 to 45
    EXPECT_NEAR(*sigmas[levelIndex(RangeLevel::R90)], (0.03 + (0.02 / 0.07) * (0.02 - 0.03)) / 0.05, 1e-12);
    // No crossing, or an uncertainty column that is not the curve's: no uncertainty.
    relative.back() = 0.6;
    EXPECT_FALSE(resultCurveLevelUncertainties(relative, sd)[levelIndex(RangeLevel::R50)].has_value());
    EXPECT_FALSE(resultCurveLevelUncertainties(relative, std::vector<double>(124, 0.01))[0].has_value());
}

// The uncertainty file beside a result: read when it is there and belongs to the same run.
TEST(DepthDoseFile, UncertaintyBesideTheResultOnlyWhenItIsOfTheSameRun) {
    TestFolder folder("sd");
    const std::filesystem::path result = folder.path() / "run.pdd";
    std::FILE* out = std::fopen(result.string().c_str(), "wb");
    const std::string text = resultText(125);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    EXPECT_FALSE(readUncertaintyBeside(result).has_value());
    const auto write = [](const std::filesystem::path& path, const std::string& content) {
        std::FILE* file = std::fopen(path.string().c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    };
    write(folder.path() / "run.sd", text);
    const auto sd = readUncertaintyBeside(result);
    ASSERT_TRUE(sd.has_value());
    EXPECT_DOUBLE_EQ(sd->dose[39], 0.04);
    // Another run's heading (another history count): not this result's uncertainty.
    std::string other = text;
    other.replace(other.find("100000."), 7, "200000.");
    write(folder.path() / "run.sd", other);
    EXPECT_FALSE(readUncertaintyBeside(result).has_value());
    // This run's, but cut short: an error naming the file.
    write(folder.path() / "run.sd", resultText(60));
    EXPECT_THROW(readUncertaintyBeside(result), engine::RunError);
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
