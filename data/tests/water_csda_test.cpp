// The range-energy table of liquid water, read the way the front end reads it: two heading lines
// skipped, then 66 numbers separated by commas, blanks or line ends, whatever their layout.
#include "engine/stopping_power.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct RangeTable {
    std::vector<double> energyMeV;
    std::vector<double> rangeCm;
};

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Free-format reading: the first two lines are headings; every later comma, blank, tab, CR or LF
// separates numbers. Fails the test on a field that is not a number or on fewer than 66 numbers.
RangeTable readFreeFormat(const std::string& text) {
    std::size_t position = 0;
    for (int heading = 0; heading < 2; ++heading) {
        position = text.find('\n', position);
        if (position == std::string::npos) {
            ADD_FAILURE() << "fewer than two heading lines";
            return {};
        }
        ++position;
    }
    std::vector<double> numbers;
    const std::string separators = ", \t\r\n";
    while (numbers.size() < 66) {
        position = text.find_first_not_of(separators, position);
        if (position == std::string::npos) break;
        const std::size_t end = text.find_first_of(separators, position);
        const std::string field = text.substr(position, end - position);
        char* stop = nullptr;
        const double value = std::strtod(field.c_str(), &stop);
        if (stop != field.c_str() + field.size()) ADD_FAILURE() << "not a number: '" << field << "'";
        numbers.push_back(value);
        position = end;
    }
    EXPECT_EQ(numbers.size(), 66u);
    RangeTable table;
    for (std::size_t i = 0; i + 1 < numbers.size(); i += 2) {
        table.energyMeV.push_back(numbers[i]);
        table.rangeCm.push_back(numbers[i + 1]);
    }
    return table;
}

// Range of an electron of energyKeV as the engine transports it: 8.3 % steps over the collision
// stopping power, then the final step's range formula at or below 305 keV.
double engineRangeCm(float energyKeV) {
    double rangeCm = 0.0;
    while (energyKeV > 305.0f) {
        const float lossKeV = 0.08299595f * energyKeV;
        rangeCm += static_cast<double>(lossKeV / engine::collisionStoppingPower(energyKeV));
        energyKeV -= lossKeV;
    }
    return rangeCm + 0.407 * std::pow(0.001 * static_cast<double>(energyKeV), 1.38);
}

TEST(WaterCsda, HoldsTheThirtyThreeAscendingRowsInCrLfLines) {
    const std::string text = readBytes(WATER_CSDA_PATH);
    ASSERT_FALSE(text.empty()) << WATER_CSDA_PATH;
    const RangeTable table = readFreeFormat(text);
    ASSERT_EQ(table.energyMeV.size(), 33u);
    EXPECT_DOUBLE_EQ(table.energyMeV.front(), 0.6);
    EXPECT_DOUBLE_EQ(table.rangeCm.front(), 0.2265);
    EXPECT_DOUBLE_EQ(table.energyMeV.back(), 60.0);
    EXPECT_DOUBLE_EQ(table.rangeCm.back(), 22.76);
    for (std::size_t i = 1; i < table.energyMeV.size(); ++i) {
        EXPECT_GT(table.energyMeV[i], table.energyMeV[i - 1]) << "row " << i + 1;
        EXPECT_GT(table.rangeCm[i], table.rangeCm[i - 1]) << "row " << i + 1;
    }
    // The simulators and the front end's own files end every line with CR LF; 2 + 33 lines.
    std::size_t lineFeeds = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ++lineFeeds;
        EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at byte " << i;
    }
    EXPECT_EQ(lineFeeds, 35u);
}

// A mistyped row shows as a kink against the engine's own range: between 4 and 25 MeV the engine,
// with no bremsstrahlung and a stopping power near 65 eV, runs 0-10 % beyond the CSDA range (we
// allow 1 % below for its step discretisation), and the excess grows smoothly with energy.
TEST(WaterCsda, AgreesWithTheEnginesRangeWhereTheEngineIsMeantToHold) {
    const RangeTable table = readFreeFormat(readBytes(WATER_CSDA_PATH));
    ASSERT_EQ(table.energyMeV.size(), 33u);
    int checked = 0;
    double previousRatio = 0.0;
    for (std::size_t i = 0; i < table.energyMeV.size(); ++i) {
        if (table.energyMeV[i] < 4.0 || table.energyMeV[i] > 25.0) continue;
        const double ratio = engineRangeCm(static_cast<float>(1000.0 * table.energyMeV[i])) / table.rangeCm[i];
        EXPECT_GE(ratio, 0.99) << table.energyMeV[i] << " MeV";
        EXPECT_LE(ratio, 1.10) << table.energyMeV[i] << " MeV";
        EXPECT_GT(ratio, previousRatio) << table.energyMeV[i] << " MeV";
        previousRatio = ratio;
        ++checked;
    }
    EXPECT_EQ(checked, 14);
}

// The reader itself: any layout of the numbers reads the same.
TEST(WaterCsda, FreeFormatReadingIgnoresLayout) {
    std::string text = "heading one\r\nheading two\r\n";
    std::string oneLine = text;
    for (int i = 1; i <= 33; ++i) {
        text += std::to_string(i) + ",  " + std::to_string(0.5 * i) + "\r\n";
        oneLine += std::to_string(i) + " , " + std::to_string(0.5 * i) + (i % 3 == 0 ? "\n" : " ");
    }
    const RangeTable a = readFreeFormat(text);
    const RangeTable b = readFreeFormat(oneLine);
    EXPECT_EQ(a.energyMeV, b.energyMeV);
    EXPECT_EQ(a.rangeCm, b.rangeCm);
    EXPECT_DOUBLE_EQ(b.rangeCm.back(), 16.5);
}

}  // namespace
