#include "fit/beta_weights.h"

#include "engine/run_frame.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

TEST(WeightText, FollowsTheExchangeFilePattern) {
    EXPECT_EQ(fit::weightText(0.5), "5.000E-01");
    EXPECT_EQ(fit::weightText(1.0), "1.000E+00");
    EXPECT_EQ(fit::weightText(0.0), "0.000E+00");
    EXPECT_EQ(fit::weightText(0.0000123), "1.230E-05");
    // Half-way cases are decided on 15 significant digits and go away from zero; 0.12345 is stored
    // a little above, 0.00012345 a little below the half-way point, and both read 5 at digit five.
    EXPECT_EQ(fit::weightText(0.12345), "1.235E-01");
    EXPECT_EQ(fit::weightText(0.00012345), "1.235E-04");
    EXPECT_EQ(fit::weightText(0.12344999), "1.234E-01");
    // Rounding up into the next decade carries into the exponent.
    EXPECT_EQ(fit::weightText(0.0099996), "1.000E-02");
    EXPECT_EQ(fit::weightText(2.019e-13), "2.019E-13");
}

TEST(WeightText, ReadBackAsTheSimulatorReadsIt) {
    EXPECT_EQ(fit::weightAsRead(0.5), 0.5f);
    EXPECT_EQ(fit::weightAsRead(0.079651), 0.07965f);
    EXPECT_EQ(fit::weightAsRead(0.00099994), 0.0009999f);  // kept as read; the floor comes later
    EXPECT_EQ(fit::relativeBinEnergy(1), 0.01f);
    EXPECT_EQ(fit::relativeBinEnergy(100), 1.0f);
    EXPECT_EQ(fit::relativeBinEnergy(112), 1.12f);
}

TEST(BetaDensity, DefaultSpectrumOfTheSetUpWindow) {
    const auto relative = fit::relativeBetaDensity(8.0, 2.0);
    ASSERT_TRUE(relative.has_value());
    EXPECT_NEAR((*relative)[50], 0.07965, 5e-6);
    EXPECT_EQ((*relative)[87], 1.0);
    EXPECT_EQ((*relative)[100], 0.0);
    EXPECT_EQ(fit::weightText((*relative)[50]), "7.965E-02");
    // Infinite densities at the ends are set to 0; a flat spectrum is 1 everywhere.
    EXPECT_EQ((*fit::relativeBetaDensity(0.1, 2.0))[0], 0.0);
    EXPECT_EQ((*fit::relativeBetaDensity(2.0, 0.1))[100], 0.0);
    const auto flat = fit::relativeBetaDensity(1.0, 1.0);
    for (double value : *flat) EXPECT_EQ(value, 1.0);
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
// write that file (here by the engine tests' own independent writer), read it with the simulator's
// reader, and compare bit for bit.
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

// Below alpha 1 the density at x = 0 is infinite and set to 0; the exchange file is written here
// from weightText itself, so the read-back path is what is checked.
TEST(SimulatorSpectrum, ReadBackOfItsOwnTextWithAnInfiniteEnd) {
    testing_support::TempFolder folder("fit-beta-end");
    const auto relative = fit::relativeBetaDensity(0.5, 3.7);
    std::string text = "a\r\nb\r\n";
    for (int bin = 1; bin <= 100; ++bin)
        text += testing_support::spectrumLine(bin / 100.0, 0.0).substr(0, 6) +
                fit::weightText((*relative)[static_cast<std::size_t>(bin)]) + "\r\n";
    testing_support::writeFile(folder.path() / "Nimbrola.txt", text);
    engine::Spectrum read = engine::readSpectrumFile(folder.path() / "Nimbrola.txt");
    engine::normaliseSpectrum(read, 6.0f);
    const auto computed = fit::simulatorSpectrum(0.5, 3.7, 6.0f);
    for (std::size_t bin = 0; bin < read.binWeight.size(); ++bin)
        EXPECT_EQ(computed->binWeight[bin], read.binWeight[bin]);
    EXPECT_GT(computed->binWeight[0], computed->binWeight[1]);  // the density falls from its infinite end
}

}  // namespace
