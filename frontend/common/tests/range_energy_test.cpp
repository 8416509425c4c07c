// Reading water.csda and deriving the maximum energy from the practical range.
#include <gtest/gtest.h>

#include <string>

#include "common/file_error.h"
#include "common/free_format.h"
#include "common/range_energy.h"
#include "test_folder.h"

namespace orvalis {
namespace {

using orvalis::testing::TestFolder;

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
        Module1 data;
        readCsdaTable(folder.write("water.csda", layout), data);
        EXPECT_EQ(data.CsdaEnergy[0], 0.0);
        EXPECT_EQ(data.CsdaEnergy[1], 1.0);
        EXPECT_EQ(data.CsdaRange[1], 0.5);
        EXPECT_EQ(data.CsdaEnergy[33], 33.0);
        EXPECT_EQ(data.CsdaRange[33], 16.5);
    }
    // All numbers on one line, then more lines than needed.
    std::string oneLine = "h1\nh2\n";
    for (int i = 1; i <= 33; ++i) oneLine += std::to_string(i) + " " + std::to_string(i) + " ";
    oneLine += "\nextra words are never read\n";
    Module1 data;
    readCsdaTable(folder.write("water.csda", oneLine), data);
    EXPECT_EQ(data.CsdaRange[33], 33.0);
}

TEST(CsdaTable, ShippedTableIsComplete) {
    Module1 data;
    readCsdaTable(std::filesystem::path(ORVALIS_DATA_DIR) / "water.csda", data);
    EXPECT_GT(data.CsdaEnergy[1], 0.0);
    for (int i = 2; i <= 33; ++i) {
        EXPECT_GT(data.CsdaEnergy[static_cast<std::size_t>(i)], data.CsdaEnergy[static_cast<std::size_t>(i - 1)]);
        EXPECT_GT(data.CsdaRange[static_cast<std::size_t>(i)], data.CsdaRange[static_cast<std::size_t>(i - 1)]);
    }
}

TEST(CsdaTable, MissingShortOrBadFileIsAnErrorNamingItAndStoresNothing) {
    TestFolder folder;
    Module1 data;
    const auto expectError = [&](const std::filesystem::path& file, const std::string& part) {
        try {
            readCsdaTable(file, data);
            ADD_FAILURE() << "no error for " << part;
        } catch (const FileError& error) {
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
    for (double e : data.CsdaEnergy) EXPECT_EQ(e, 0.0);
}

// With the ranges reversed an Rp of 4.5 cm gave 1.98 MeV instead of 9.53; a depth-dose or kernel
// file read as a table gave numbers too. Such tables are refused, and the window says the table is
// missing.
TEST(CsdaTable, OnlyPositiveStrictlyAscendingTablesAreTaken) {
    TestFolder folder;
    Module1 data;
    const auto refused = [&](const std::string& text, const std::string& row) {
        try {
            readCsdaTable(folder.write("water.csda", text), data);
            ADD_FAILURE() << "taken: " << row;
        } catch (const FileError& error) {
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
    for (double e : data.CsdaEnergy) EXPECT_EQ(e, 0.0);  // nothing stored
    readCsdaTable(folder.write("water.csda", shipped), data);
    EXPECT_EQ(data.CsdaEnergy[33], 60.0);
}

TEST(RangeToEnergy, InterpolatesAndScalesByOnePointZeroSix) {
    Module1 data;
    for (std::size_t i = 1; i <= 33; ++i) {
        data.CsdaEnergy[i] = static_cast<double>(i);
        data.CsdaRange[i] = 0.5 * static_cast<double>(i);
    }
    data.CsdaRange[10] = 5.2;  // uneven step between rows 9, 10 and 11
    // A range equal to row i (>= 2) stops the search there: exactly 1.06 x CsdaEnergy(i).
    EXPECT_DOUBLE_EQ(*maxEnergyFromRange(5.2, data), 1.06 * 10.0);
    EXPECT_DOUBLE_EQ(*maxEnergyFromRange(16.5, data), 1.06 * 33.0);
    // Between rows 9 (4.5 cm) and 10 (5.2 cm).
    EXPECT_DOUBLE_EQ(*maxEnergyFromRange(4.85, data), 1.06 * 9.5);
    // Below row 2: extrapolation along rows 1 and 2.
    EXPECT_DOUBLE_EQ(*maxEnergyFromRange(0.25, data), 1.06 * 0.5);
    EXPECT_DOUBLE_EQ(*maxEnergyFromRange(0.0, data), 0.0);
    // Beyond the table: no result, the box stays as it was.
    EXPECT_FALSE(maxEnergyFromRange(16.51, data).has_value());
}

TEST(RangeToEnergy, EmptyOrFlatTableGivesNoResult) {
    Module1 data;  // never loaded: every range is 0
    EXPECT_FALSE(maxEnergyFromRange(4.5, data).has_value());
    EXPECT_FALSE(maxEnergyFromRange(0.0, data).has_value());  // rows 1 and 2 equal: division by zero
}

TEST(RangeToEnergy, ShippedTableGivesTheDefaultBeamEnergy) {
    Module1 data;
    readCsdaTable(std::filesystem::path(ORVALIS_DATA_DIR) / "water.csda", data);
    // The default practical range 4.5 cm lies just below the 9 MeV row (4.506 cm).
    const double e = *maxEnergyFromRange(4.5, data);
    EXPECT_NEAR(e, 1.06 * (8.0 + (4.5 - 4.03) / (4.506 - 4.03)), 1e-12);
}

}  // namespace
}  // namespace orvalis
