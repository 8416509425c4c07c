// The example depth dose offered to newcomers: a simulated curve in the measured-file layout, and
// labelled as simulated so that nobody mistakes it for a measurement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

    std::vector<double> depthMm, dose;
    std::string line;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << "record " << depthMm.size() + 1 << " does not end in CR LF";
        std::istringstream fields(line);
        std::string depthText, doseText;
        ASSERT_TRUE(std::getline(fields, depthText, ',') && std::getline(fields, doseText, '\r'));
        char* end = nullptr;
        depthMm.push_back(std::strtod(depthText.c_str(), &end));
        ASSERT_EQ(*end, '\0') << line;
        dose.push_back(std::strtod(doseText.c_str(), &end));
        ASSERT_EQ(*end, '\0') << line;
    }
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
