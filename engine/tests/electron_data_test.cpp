#include "engine/electron_data.h"

#include "engine/run_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

using namespace engine;

// 24 energies from 20000 keV down, halving every 3 rows (20000 ... ~ 0.2 MeV).
ElectronData uniformTable(std::int32_t value) {
    ElectronData data;
    for (int k = 0; k < ENERGY_ROWS; ++k) {
        data.deflectionQuantiles[static_cast<std::size_t>(k)].fill(value);
        data.tableEnergyKeV[static_cast<std::size_t>(k)] = 20000.0f * std::pow(0.8f, static_cast<float>(k));
    }
    return data;
}

class ElectronDataFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("eldat-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
};

TEST_F(ElectronDataFile, WrittenTableReadsBackIn222Lines) {
    ElectronData data = uniformTable(0);
    for (int k = 0; k < ENERGY_ROWS; ++k)
        for (int c = 0; c < QUANTILE_COLUMNS; ++c)
            data.deflectionQuantiles[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] = 16384 - 500 * c + k;
    data.tableEnergyKeV[5] = 1234.567f;
    const auto path = folder_ / "ELDAT.dat";
    saveElectronData(path, data);

    const std::string text = formatElectronData(data);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 222);

    const ElectronData loaded = loadElectronData(path);
    EXPECT_EQ(loaded.deflectionQuantiles, data.deflectionQuantiles);
    for (int k = 0; k < ENERGY_ROWS; ++k)  // E15.7 keeps 7 significant digits: within 2 float ulps
        EXPECT_NEAR(loaded.tableEnergyKeV[static_cast<std::size_t>(k)],
                    data.tableEnergyKeV[static_cast<std::size_t>(k)],
                    data.tableEnergyKeV[static_cast<std::size_t>(k)] * 5e-7f);
}

TEST_F(ElectronDataFile, MissingShortAndMalformedFilesNameFileAndLine) {
    EXPECT_THROW(loadElectronData(folder_ / "ELDAT.dat"), RunError);

    const std::string text = formatElectronData(uniformTable(16384));
    const auto shortPath = folder_ / "short.dat";
    {
        std::ofstream out(shortPath, std::ios::binary);
        out << text.substr(0, text.find("\r\n", 0) + 2);  // one line only
    }
    try {
        loadElectronData(shortPath);
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.lineNumber(), 2);
        EXPECT_NE(std::string(error.what()).find("row 1"), std::string::npos) << error.what();
    }

    std::string broken = text;
    broken.replace(broken.find("16384"), 5, "16x84");
    const auto badPath = folder_ / "bad.dat";
    {
        std::ofstream out(badPath, std::ios::binary);
        out << broken;
    }
    try {
        loadElectronData(badPath);
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.lineNumber(), 1);
        EXPECT_NE(std::string(error.what()).find("bad.dat"), std::string::npos);
    }
}

TEST_F(ElectronDataFile, ACutLastLineOrAFolderIsRefusedAndEveryWholeLastLineReads) {
    // The committed layout: the last line holds the four lowest energies, the last one 300 keV.
    ElectronData data = uniformTable(16384);
    data.tableEnergyKeV[23] = 300.0f;
    const std::string text = formatElectronData(data);
    const auto path = folder_ / "ELDAT.dat";
    auto write = [&](const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; };

    // Cut inside the last number: "0.3000000E+03" would read 0.3 keV with the missing columns blank.
    for (std::size_t cut : {3u, 6u, 10u, 20u}) {
        write(text.substr(0, text.size() - cut));
        try {
            loadElectronData(path);
            FAIL() << "a file cut " << cut << " bytes before its end was read";
        } catch (const RunError& error) {
            EXPECT_EQ(error.lineNumber(), 222);
            // A cut that leaves whole numbers is found by its length; one inside an exponent also
            // as a malformed number.
            if (cut <= 6) {
                EXPECT_NE(std::string(error.what()).find("cut off"), std::string::npos) << error.what();
            }
        }
    }
    // Without its last line end, or with the carriage return alone, the record is whole.
    write(text);
    const ElectronData whole = loadElectronData(path);
    for (std::size_t cut : {1u, 2u}) {
        write(text.substr(0, text.size() - cut));
        EXPECT_EQ(loadElectronData(path).tableEnergyKeV, whole.tableEnergyKeV) << cut;
    }
    write(text + "a note after the table\r\n");
    EXPECT_EQ(loadElectronData(path).tableEnergyKeV, whole.tableEnergyKeV);

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    try {
        loadElectronData(path);
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(std::string(error.what()), path.string() + ": is a folder, not a file");
    }
}

TEST(SampleDeflection, RowOf16384NeverDeflectsAndLowEnergiesDrawNothing) {
    const ElectronData data = uniformTable(16384);
    LaggedGenerator generator;
    generator.seed();
    for (int k = 0; k < 1000; ++k) {
        const Deflection d = sampleDeflection(data, 5000.0f, generator);
        ASSERT_TRUE(d.deflected);
        ASSERT_EQ(d.cosChi, 1.0f);  // 16384 x 6.10352E-5 lies just above 1 and is clamped
        ASSERT_EQ(d.sinChi, 0.0f);
    }
    LaggedGenerator before = generator;
    const float lowest = data.tableEnergyKeV[ENERGY_ROWS - 1];
    EXPECT_FALSE(sampleDeflection(data, lowest, generator).deflected);
    EXPECT_FALSE(sampleDeflection(data, lowest * 0.5f, generator).deflected);
    EXPECT_EQ(generator.nextInteger(), before.nextInteger());  // no number was drawn
}

TEST(SampleDeflection, InterpolatesColumnsAndEnergiesAndExtrapolatesAboveTheTable) {
    ElectronData data = uniformTable(0);
    for (int k = 0; k < ENERGY_ROWS; ++k)
        for (int c = 0; c < QUANTILE_COLUMNS; ++c)  // cosine falls linearly from 1 to 0 across the columns
            data.deflectionQuantiles[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] = 16384 - 256 * c;
    LaggedGenerator generator;
    generator.seed();
    LaggedGenerator copy = generator;
    const Deflection d = sampleDeflection(data, 3000.0f, generator);
    const float u1 = copy.nextUniform();
    const float u2 = copy.nextUniform();
    EXPECT_NEAR(d.cosChi, 1.0f - u1, 1e-5f);
    EXPECT_NEAR(d.sinChi * d.sinChi + d.cosChi * d.cosChi, 1.0f, 1e-6f);
    EXPECT_NEAR(d.cosAzimuth, std::cos(u2 * 6.283184f), 1e-5f);
    EXPECT_NEAR(d.sinAzimuth, std::sin(u2 * 6.283184f), 1e-5f);

    // Rows 1 and 2 hold 8192 and 0; at 25000 keV (f = -0.5) the cosine extrapolates to 0.75.
    ElectronData steep = uniformTable(0);
    steep.deflectionQuantiles[0].fill(8192);
    steep.tableEnergyKeV[0] = 20000.0f;
    steep.tableEnergyKeV[1] = 10000.0f;
    EXPECT_NEAR(sampleDeflection(steep, 25000.0f, generator).cosChi, 0.75f, 1e-6f);
    // An energy equal to a row energy uses that row alone.
    EXPECT_NEAR(sampleDeflection(steep, 20000.0f, generator).cosChi, 0.5f, 1e-6f);
    EXPECT_NEAR(sampleDeflection(steep, 15000.0f, generator).cosChi, 0.25f, 1e-6f);

    // -16384 gives -1.0000006 before the clamp; the sine must stay defined.
    const Deflection back = sampleDeflection(uniformTable(-16384), 3000.0f, generator);
    EXPECT_EQ(back.cosChi, -1.0f);
    EXPECT_EQ(back.sinChi, 0.0f);
}

}  // namespace
