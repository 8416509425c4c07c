// The range-energy table of liquid water as shipped, read by the programs' own reader.
#include "beamdata/range_energy.h"
#include "engine/stopping_power.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
    const beamdata::RangeEnergyTable table = beamdata::readRangeEnergyTable(WATER_CSDA_PATH);
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
    const beamdata::RangeEnergyTable table = beamdata::readRangeEnergyTable(WATER_CSDA_PATH);
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

}  // namespace
