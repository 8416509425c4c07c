#include "viewers/fluence_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace orvalis::viewers {
namespace {

using beamdata::FluenceError;
using beamdata::FluenceRead;
using beamdata::readFluenceFile;

std::string fluenceFile(int points, double (*weight)(int)) {
    std::string text = "9MeV-9.0_8.0-2.0.spct          \r\n [MeV] ,  Fluence\r\n";
    for (int i = 1; i <= points; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "%10.4E, %10.4E\r\n", 0.09 * i, weight(i));
        text += line;
    }
    return text;
}

double hump(int i) { return i == 87 ? 0.03 : (i > 95 ? 0.0 : 0.01); }

TEST(FluenceFileTest, SimulatorFileLoadsHundredPointsAndScalesItsPeakTo100) {
    const FluenceRead read = readFluenceFile(fluenceFile(100, hump));
    ASSERT_TRUE(read.spectrum.has_value());
    EXPECT_EQ(read.spectrum->titleLine, "9MeV-9.0_8.0-2.0.spct          ");
    ASSERT_EQ(read.spectrum->points.size(), 100u);
    EXPECT_DOUBLE_EQ(read.spectrum->fluenceMax, 0.03);
    const auto chart = fluenceChartPoints(read.spectrum->points, read.spectrum->fluenceMax);
    EXPECT_DOUBLE_EQ(chart[86].y, 100.0);
    EXPECT_DOUBLE_EQ(chart[86].x, 7.83);
    EXPECT_NEAR(chart[0].y, 100.0 / 3.0, 1e-12);
    EXPECT_DOUBLE_EQ(chart[99].y, 0.0);
}

TEST(FluenceFileTest, RefusesWhatCannotBePlotted) {
    EXPECT_EQ(readFluenceFile(fluenceFile(101, hump)).error, FluenceError::TooManyPoints);
    EXPECT_EQ(readFluenceFile(fluenceFile(100, [](int) { return 0.0; })).error, FluenceError::AllZero);
    EXPECT_EQ(readFluenceFile("title only\r\n").error, FluenceError::Unreadable);
    EXPECT_EQ(readFluenceFile("t\nh\n1.0, 0.5\n2.0\n").error, FluenceError::Unreadable);
    EXPECT_EQ(readFluenceFile("t\nh\n1.0, x\n").error, FluenceError::Unreadable);
    EXPECT_EQ(readFluenceFile("t\nh\n1.0, 0.5\n2.0, -1e6\n").error, FluenceError::Unreadable);  // absurd
    // Fluences in any unit are scaled to their largest, however large.
    const FluenceRead huge = readFluenceFile("t\nh\n1.0, 1e308\n2.0, 5e307\n");
    ASSERT_TRUE(huge.spectrum.has_value());
    const auto chart = fluenceChartPoints(huge.spectrum->points, huge.spectrum->fluenceMax);
    EXPECT_EQ(chart[0].y, 100.0);
    EXPECT_EQ(chart[1].y, 50.0);
    // Fewer than 100 points are fine; only those are drawn.
    const FluenceRead few = readFluenceFile(fluenceFile(40, hump));
    ASSERT_TRUE(few.spectrum.has_value());
    EXPECT_EQ(few.spectrum->points.size(), 40u);
}

}  // namespace
}  // namespace orvalis::viewers
