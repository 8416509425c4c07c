#include "fit/beta_weights.h"

#include "engine/run_frame.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

TEST(WeightText, ReadBackAsTheSimulatorReadsIt) {
    EXPECT_EQ(fit::weightAsRead(0.5), 0.5f);
    EXPECT_EQ(fit::weightAsRead(0.079651), 0.07965f);
    EXPECT_EQ(fit::weightAsRead(0.00099994), 0.0009999f);  // kept as read; the floor comes later
    EXPECT_EQ(fit::relativeBinEnergy(1), 0.01f);
    EXPECT_EQ(fit::relativeBinEnergy(100), 1.0f);
    EXPECT_EQ(fit::relativeBinEnergy(112), 1.12f);
}

TEST(SimulatorSpectrum, FloorsNormalisesAndScalesAsTheSimulator) {
    const auto spectrum = fit::simulatorSpectrum(8.0, 2.0, 9.0f);
    ASSERT_TRUE(spectrum.has_value());
    EXPECT_EQ(spectrum->binWeight[0], 0.0f);  // 2.019E-13 lies below the floor
    EXPECT_EQ(spectrum->binWeight[99], 0.0f);
    const float sum = std::accumulate(spectrum->binWeight.begin(), spectrum->binWeight.end(), 0.0f);
    EXPECT_NEAR(sum, 1.0f, 1e-5f);
    EXPECT_EQ(spectrum->binEnergyKeV[86], 0.87f * 9.0f * 1000.0f);
    const auto flat = fit::simulatorSpectrum(1.0, 1.0, 6.0f);
    for (float w : flat->binWeight) EXPECT_FLOAT_EQ(w, 0.01f);
}

// The weights must be those the simulator gets from the exchange file the set-up window writes:
// write that file with the front end's writer, read it with the simulator's reader, and compare bit
// for bit.
TEST(SimulatorSpectrum, EqualsTheSpectrumReadFromAWrittenExchangeFile) {
    testing_support::TempFolder folder("fit-beta");
    for (const auto& [alpha, beta] : {std::pair{8.0, 2.0}, {1.5, 3.7}, {17.3, 1.1}, {2.2, 19.9}}) {
        testing_support::writeBetaSpectrum(folder.path(), alpha, beta);
        engine::Spectrum read = engine::readSpectrumFile(folder.path() / "Nimbrola.txt");
        engine::normaliseSpectrum(read, 12.0f);
        const auto computed = fit::simulatorSpectrum(alpha, beta, 12.0f);
        ASSERT_TRUE(computed.has_value());
        for (std::size_t bin = 0; bin < read.binWeight.size(); ++bin) {
            EXPECT_EQ(computed->binWeight[bin], read.binWeight[bin]) << alpha << " " << beta << " bin " << bin + 1;
            EXPECT_EQ(computed->binEnergyKeV[bin], read.binEnergyKeV[bin]);
        }
    }
}

// Below alpha 1 the density at x = 0 is infinite and set to 0.
TEST(SimulatorSpectrum, ReadBackWithAnInfiniteEnd) {
    testing_support::TempFolder folder("fit-beta-end");
    testing_support::writeBetaSpectrum(folder.path(), 0.5, 3.7);
    engine::Spectrum read = engine::readSpectrumFile(folder.path() / "Nimbrola.txt");
    engine::normaliseSpectrum(read, 6.0f);
    const auto computed = fit::simulatorSpectrum(0.5, 3.7, 6.0f);
    for (std::size_t bin = 0; bin < read.binWeight.size(); ++bin)
        EXPECT_EQ(computed->binWeight[bin], read.binWeight[bin]);
    EXPECT_GT(computed->binWeight[0], computed->binWeight[1]);  // the density falls from its infinite end
}

}  // namespace
