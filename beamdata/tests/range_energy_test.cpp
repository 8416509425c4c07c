// Reading water.csda and deriving the maximum energy from the practical range.
#include <gtest/gtest.h>

#include <string>

#include "beamdata/free_format.h"
#include "beamdata/range_energy.h"
#include "engine/run_error.h"
#include "testsupport/test_folder.h"

namespace beamdata {
namespace {

using testsupport::TestFolder;

// 33 rows: energy i MeV with range i/2 cm, written in the given row separator.
std::string table(const std::string& separator) {
    std::string text = "heading one\r\nheading two\r\n";
    for (int i = 1; i <= 33; ++i) {
        text += std::to_string(i) + separator + std::to_string(i * 0.5) + "\r\n";
    }
    return text;
}

TEST(CsdaTable, ReadsAnyLayoutOfTheSixtySixNumbers) {
    TestFolder folder;
    for (const std::string& layout : {table(", "), table(" "), table(",")}) {
        const RangeEnergyTable table = readRangeEnergyTable(folder.write("water.csda", layout));
        EXPECT_EQ(table.energyMeV[0], 1.0);
        EXPECT_EQ(table.rangeCm[0], 0.5);
        EXPECT_EQ(table.energyMeV[32], 33.0);
        EXPECT_EQ(table.rangeCm[32], 16.5);
    }
    // All numbers on one line, then more lines than needed.
    std::string oneLine = "h1\nh2\n";
    for (int i = 1; i <= 33; ++i) oneLine += std::to_string(i) + " " + std::to_string(i) + " ";
    oneLine += "\nextra words are never read\n";
    EXPECT_EQ(readRangeEnergyTable(folder.write("water.csda", oneLine)).rangeCm[32], 33.0);
}

TEST(CsdaTable, ShippedTableIsComplete) {
    const RangeEnergyTable table = readRangeEnergyTable(std::filesystem::path(ORVALIS_DATA_DIR) / "water.csda");
    EXPECT_GT(table.energyMeV[0], 0.0);
    for (std::size_t i = 1; i < CSDA_ROW_COUNT; ++i) {
        EXPECT_GT(table.energyMeV[i], table.energyMeV[i - 1]);
        EXPECT_GT(table.rangeCm[i], table.rangeCm[i - 1]);
    }
}

TEST(CsdaTable, MissingShortOrBadFileIsAnErrorNamingItAndStoresNothing) {
    TestFolder folder;
    const auto expectError = [&](const std::filesystem::path& file, const std::string& part) {
        try {
            readRangeEnergyTable(file);
            ADD_FAILURE() << "no error for " << part;
        } catch (const engine::RunError& error) {
            EXPECT_NE(std::string(error.what()).find("water.csda"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
        }
    };
    expectError(folder.path() / "water.csda", "Cannot open");
    std::string shortTable = table(", ");
    shortTable.resize(shortTable.rfind("33,"));
    expectError(folder.write("water.csda", shortTable), "64 of its 66");
    expectError(folder.write("water.csda", "one heading only"), "heading");
    std::string bad = table(", ");
    bad.replace(bad.find("7, "), 1, "seven");
    expectError(folder.write("water.csda", bad), "line 9");
}

// With the ranges reversed an Rp of 4.5 cm gave 1.98 MeV instead of 9.53; a depth-dose or kernel
// file read as a table gave numbers too. Such tables are refused, and the window says the table is
// missing.
TEST(CsdaTable, OnlyPositiveStrictlyAscendingTablesAreTaken) {
    TestFolder folder;
    const auto refused = [&](const std::string& text, const std::string& row) {
        try {
            readRangeEnergyTable(folder.write("water.csda", text));
            ADD_FAILURE() << "taken: " << row;
        } catch (const engine::RunError& error) {
            EXPECT_NE(std::string(error.what()).find("positive, ascending"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("(row " + row + ")"), std::string::npos) << error.what();
        }
    };
    const std::string shipped = *text::readWholeFile((std::filesystem::path(ORVALIS_DATA_DIR) / "water.csda").string());
    std::string reversed = "h1\r\nh2\r\n";
    for (int i = 33; i >= 1; --i) reversed += std::to_string(i) + ", " + std::to_string(0.5 * (34 - i)) + "\r\n";
    refused(reversed, "2");
    std::string repeated = table(", ");
    repeated.replace(repeated.find("\r\n8,"), 0, "\r\n7, 3.500000");  // row 7 twice
    refused(repeated, "8");
    std::string pdd = "  9.00 MeV a\r\n   1000000.\r\n";
    for (int i = 1; i <= 125; ++i) pdd += std::to_string(i - 15) + ". 0.500E+00\r\n";
    refused(pdd, "1");
    std::string zeroRange = table(", ");
    zeroRange.replace(zeroRange.find("1, 0.5"), 6, "1, 0.0");
    refused(zeroRange, "1");
    EXPECT_EQ(readRangeEnergyTable(folder.write("water.csda", shipped)).energyMeV[32], 60.0);
}

TEST(RangeToEnergy, InterpolatesAndScalesByOnePointZeroSix) {
    RangeEnergyTable data;
    for (std::size_t i = 0; i < CSDA_ROW_COUNT; ++i) {
        data.energyMeV[i] = static_cast<double>(i + 1);
        data.rangeCm[i] = 0.5 * static_cast<double>(i + 1);
    }
    data.rangeCm[9] = 5.2;  // uneven step between the rows of 9, 10 and 11 MeV
    // A range equal to a row's (beyond the first) stops the search there: exactly 1.06 x its energy.
    EXPECT_DOUBLE_EQ(*maxEnergyFromPracticalRange(data, 5.2), 1.06 * 10.0);
    EXPECT_DOUBLE_EQ(*maxEnergyFromPracticalRange(data, 16.5), 1.06 * 33.0);
    // Between rows 9 (4.5 cm) and 10 (5.2 cm).
    EXPECT_DOUBLE_EQ(*maxEnergyFromPracticalRange(data, 4.85), 1.06 * 9.5);
    // Below row 2: extrapolation along rows 1 and 2.
    EXPECT_DOUBLE_EQ(*maxEnergyFromPracticalRange(data, 0.25), 1.06 * 0.5);
    EXPECT_DOUBLE_EQ(*maxEnergyFromPracticalRange(data, 0.0), 0.0);
    // Beyond the table: no result, the box stays as it was.
    EXPECT_FALSE(maxEnergyFromPracticalRange(data, 16.51).has_value());
}

TEST(RangeToEnergy, EmptyOrFlatTableGivesNoResult) {
    const RangeEnergyTable data;  // never loaded: every range is 0
    EXPECT_FALSE(maxEnergyFromPracticalRange(data, 4.5).has_value());
    EXPECT_FALSE(maxEnergyFromPracticalRange(data, 0.0).has_value());  // rows 1 and 2 equal: division by zero
}

TEST(RangeToEnergy, ShippedTableGivesTheDefaultBeamEnergy) {
    const RangeEnergyTable data = readRangeEnergyTable(std::filesystem::path(ORVALIS_DATA_DIR) / "water.csda");
    // The default practical range 4.5 cm lies just below the 9 MeV row (4.506 cm).
    const double e = *maxEnergyFromPracticalRange(data, 4.5);
    EXPECT_NEAR(e, 1.06 * (8.0 + (4.5 - 4.03) / (4.506 - 4.03)), 1e-12);
}

}  // namespace
}  // namespace beamdata
