// The example depth dose offered to newcomers: a simulated curve in the measured-file layout, and
// labelled as simulated so that nobody mistakes it for a measurement.
#include "beamdata/measured_curve_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(ExampleDepthDose, IsALabelledSimulationInTheMeasuredLayout) {
    std::ifstream in(EXAMPLE_CSV_PATH, std::ios::binary);
    ASSERT_TRUE(in) << EXAMPLE_CSV_PATH;
    std::string header;
    ASSERT_TRUE(std::getline(in, header));
    EXPECT_EQ(header.rfind("Simulated example, not a measurement: Tolvane", 0), 0u) << header;
    EXPECT_NE(header.find("histories"), std::string::npos);

    // Every record ends in CR LF, as the programs' own files do.
    for (std::string line; std::getline(in, line);) ASSERT_EQ(line.back(), '\r') << line;

    // Read as the comparison window and the fit read a measured file.
    const beamdata::MeasuredFile file = beamdata::readMeasuredFile(EXAMPLE_CSV_PATH);
    const beamdata::DepthScan& curve = beamdata::chooseScan(file, std::nullopt);
    const std::vector<double>& depthMm = curve.depthMm;
    const std::vector<double>& dose = curve.value;
    ASSERT_GE(depthMm.size(), 20u);
    EXPECT_LE(depthMm.size(), 150u);  // the comparison window holds at most 150 records
    double largest = 0.0;
    for (std::size_t i = 0; i < dose.size(); ++i) {
        if (i > 0) {
            EXPECT_GT(depthMm[i], depthMm[i - 1]);
        }
        EXPECT_GE(dose[i], 0.0);
        largest = std::max(largest, dose[i]);
    }
    EXPECT_DOUBLE_EQ(largest, 100.0);
    EXPECT_LT(dose.back(), 10.0);  // the curve runs beyond R10, so every range can be read from it
}

}  // namespace
