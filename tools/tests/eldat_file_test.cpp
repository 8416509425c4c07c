// The generated table as the simulators see it: written through the engine's record formats, read
// back through its loader, and sampled by its deflection sampler.
#include "engine/electron_data.h"
#include "engine/lagged_generator.h"
#include "tools/eldat_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class GeneratedTableFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() { table_ = new tools::ScatteringTable(tools::buildScatteringTable()); }
    static void TearDownTestSuite() { delete table_; }
    void TearDown() override { std::filesystem::remove(path_); }

    static tools::ScatteringTable* table_;
    // One file per test: ctest runs the tests of this fixture side by side.
    std::string path_ = (std::filesystem::temp_directory_path() /
                         ("orvalis-eldat-" +
                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".dat"))
                            .string();
};
tools::ScatteringTable* GeneratedTableFile::table_ = nullptr;

TEST_F(GeneratedTableFile, ReadsBackThroughTheEngineLoaderUnchanged) {
    engine::saveElectronData(path_, tools::toElectronData(*table_));
    std::ifstream in(path_, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++lines;
            ASSERT_EQ(text[i - 1], '\r') << "line " << lines;
        }
    }
    EXPECT_EQ(lines, 222u);
    EXPECT_EQ(text.substr(0, 7), "  16384");  // row 1 starts with no deflection, in columns 2-7
    EXPECT_EQ(text.substr(text.size() - 63), "   0.5987639E+03  0.4755660E+03  0.3777166E+03  0.3000000E+03\r\n");

    const engine::ElectronData loaded = engine::loadElectronData(path_);
    for (std::size_t k = 0; k < 24; ++k) {
        EXPECT_EQ(loaded.tableEnergyKeV[k], static_cast<float>(table_->energyKeV[k])) << "row " << k + 1;
        for (std::size_t c = 0; c < 65; ++c) {
            ASSERT_EQ(loaded.deflectionQuantiles[k][c], table_->quantiles[k][c])
                << "row " << k + 1 << " column " << c + 1;
        }
    }
}

// Drawn with the engine's sampler at each row's own energy (so that row alone is used), the mean
// deflection cosine is the exact GS mean exp(-G_1): within 5 standard errors, plus 1e-4 for the
// 14-bit resolution of the generator's uniforms, which averages the column fraction to 0.498.
TEST_F(GeneratedTableFile, EngineSamplingReproducesTheExactMeanCosine) {
    const engine::ElectronData data = tools::toElectronData(*table_);
    engine::LaggedGenerator generator;
    generator.seed();
    constexpr int SAMPLES = 100000;
    for (std::size_t k = 0; k + 1 < 24; ++k) {
        double sum = 0.0;
        double sumSquares = 0.0;
        for (int i = 0; i < SAMPLES; ++i) {
            const engine::Deflection d = engine::sampleDeflection(data, data.tableEnergyKeV[k], generator);
            ASSERT_TRUE(d.deflected);
            sum += static_cast<double>(d.cosChi);
            sumSquares += static_cast<double>(d.cosChi) * static_cast<double>(d.cosChi);
        }
        const double mean = sum / SAMPLES;
        const double standardError = std::sqrt((sumSquares / SAMPLES - mean * mean) / SAMPLES);
        EXPECT_NEAR(mean, table_->exactMeanCosine[k], 5.0 * standardError + 1e-4) << table_->energyKeV[k] << " keV";
    }
    // The lowest row is the end of the table: no deflection at its energy.
    EXPECT_FALSE(engine::sampleDeflection(data, data.tableEnergyKeV[23], generator).deflected);
}

}  // namespace
