// The exchange files, byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "engine/run_error.h"
#include "testsupport/test_folder.h"

namespace beamdata {
namespace {

using testsupport::TestFolder;

ExchangeContent defaultDepthDose() {
    ExchangeContent c;
    c.kind = CalculationKind::DepthDose;
    c.maxEnergyMeV = 9.0;
    c.historyText = "10000000";
    c.resultBaseName = "9MeV-9.0_8.0-2.0";
    c.titleLine1 = alphaTitleLine(8.0);
    c.titleLine2 = betaTitleLine(2.0);
    SpectrumArray density{};
    EXPECT_EQ(updateSpectrum(8.0, 2.0, density, c.relativeWeight), SpectrumUpdate::Completed);
    return c;
}

// Expected spectrum lines built independently of the writer: the closed form of the Beta shape
// and the C library's scientific notation.
std::string expectedSpectrumLines(double alpha, double beta) {
    double peak = 0.0;
    for (int j = 0; j <= 100; ++j) {
        const double x = j / 100.0;
        if ((alpha < 1 && j == 0) || (beta < 1 && j == 100)) continue;
        peak = std::max(peak, std::pow(x, alpha - 1) * std::pow(1 - x, beta - 1));
    }
    std::string text;
    for (int i = 1; i <= 100; ++i) {
        const double x = i / 100.0;
        const double w = (beta < 1 && i == 100) ? 0.0 : std::pow(x, alpha - 1) * std::pow(1 - x, beta - 1) / peak;
        char line[40];
        std::snprintf(line, sizeof line, "%02d.%02d %.3E\r\n", i / 100, i % 100, w);
        text += line;
    }
    return text;
}

TEST(ExchangeFiles, DefaultDepthDoseSetUpByteForByte) {
    TestFolder folder;
    const ExchangeContent content = defaultDepthDose();
    writeExchangeFiles(folder.path(), content);
    EXPECT_EQ(folder.read("Nimbrola.dat"), " 9.0\r\n10000000.\r\n9MeV-9.0_8.0-2.0.pdd\r\n9MeV-9.0_8.0-2.0.spct\r\n");
    const std::string spectrum = folder.read("Nimbrola.txt");
    EXPECT_EQ(spectrum.substr(0, 16), "\x83\xBF=8.0\r\n\x83\xC0=2.0\r\n");
    EXPECT_EQ(spectrum.substr(16), expectedSpectrumLines(8.0, 2.0));
    EXPECT_NE(spectrum.find("00.50 7.965E-02\r\n"), std::string::npos);
    EXPECT_NE(spectrum.find("00.87 1.000E+00\r\n"), std::string::npos);
    EXPECT_EQ(spectrum.substr(spectrum.size() - 17), "01.00 0.000E+00\r\n");
    EXPECT_EQ(spectrum.size(), 16u + 100u * 17u);  // every spectrum line is 15 characters
}

TEST(ExchangeFiles, HalfAlphaAndHalfWayEnergy) {
    TestFolder folder;
    ExchangeContent content = defaultDepthDose();
    content.maxEnergyMeV = 12.25;
    content.titleLine1 = alphaTitleLine(0.5);
    SpectrumArray density{};
    ASSERT_EQ(updateSpectrum(0.5, 2.0, density, content.relativeWeight), SpectrumUpdate::Completed);
    writeExchangeFiles(folder.path(), content);
    EXPECT_EQ(folder.read("Nimbrola.dat").substr(0, 7), " 12.3\r\n");
    const std::string spectrum = folder.read("Nimbrola.txt");
    EXPECT_EQ(spectrum.substr(0, 15), "\x83\xBF=.5\r\n\x83\xC0=2.0\r\n");
    EXPECT_EQ(spectrum.substr(15), expectedSpectrumLines(0.5, 2.0));
    EXPECT_NE(spectrum.find("00.01 1.000E+00\r\n"), std::string::npos);  // peak next to x = 0
}

TEST(ExchangeFiles, KernelRunFileHasThreeLines) {
    ExchangeContent content = defaultDepthDose();
    content.kind = CalculationKind::Kernel;
    content.historyText = "1000000";
    EXPECT_EQ(runFileBytes(content), " 9.0\r\n1000000.\r\n9MeV-9.0_8.0-2.0.elk\r\n");
}

TEST(ExchangeFiles, SpectrumLinesStayFifteenCharactersOverTheScrollBarRange) {
    // Every alpha and beta a scroll bar can give: the weights never need three exponent digits.
    for (int a = 1; a <= 200; a += 7) {
        for (int b = 1; b <= 200; b += 11) {
            ExchangeContent content;
            SpectrumArray density{};
            ASSERT_EQ(updateSpectrum(a / 10.0, b / 10.0, density, content.relativeWeight), SpectrumUpdate::Completed);
            const std::string text = spectrumFileBytes(content);
            std::size_t lineStart = text.find("\r\n", text.find("\r\n") + 2) + 2;
            for (int i = 1; i <= 100; ++i) {
                const std::size_t lineEnd = text.find("\r\n", lineStart);
                ASSERT_EQ(lineEnd - lineStart, 15u) << "alpha " << a << " beta " << b << " bin " << i;
                lineStart = lineEnd + 2;
            }
        }
    }
}

TEST(ExchangeFiles, UnwritableFileIsAnErrorNamingIt) {
    TestFolder folder;
    std::filesystem::create_directory(folder.path() / "Nimbrola.txt");  // a folder in the way
    try {
        writeExchangeFiles(folder.path(), defaultDepthDose());
        FAIL() << "no error";
    } catch (const engine::RunError& error) {
        EXPECT_NE(std::string(error.what()).find("Nimbrola.txt"), std::string::npos);
    }
    EXPECT_THROW(writeExchangeFiles(folder.path() / "no-such-folder", defaultDepthDose()), engine::RunError);
}

}  // namespace
}  // namespace beamdata
