// The seam between the front end and the simulators: the exchange files as beamdata writes them,
// read back by the simulators' own reader.
#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "beamdata/number_pattern.h"
#include "engine/record_io.h"
#include "testsupport/test_folder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace beamdata {
namespace {

using testsupport::TestFolder;

float asRead(const std::string& text, int digits) {
    float value = 0.0f;
    EXPECT_TRUE(engine::parseRealField(text, digits, value)) << text;
    return value;
}

ExchangeContent betaContent(CalculationKind kind, double maxEnergyMeV, double alpha, double beta) {
    ExchangeContent content;
    content.kind = kind;
    content.maxEnergyMeV = maxEnergyMeV;
    content.historyText = kind == CalculationKind::DepthDose ? DEPTH_DOSE_HISTORY_TEXT : KERNEL_HISTORY_TEXT;
    content.resultBaseName = "12MeV-12.3_0.5-3.7";
    content.titleLine1 = alphaTitleLine(alpha);
    content.titleLine2 = betaTitleLine(beta);
    content.relativeWeight = *relativeBetaDensity(alpha, beta);
    return content;
}

TEST(ExchangeContract, TheSimulatorsReadWhatTheSetUpWindowWrites) {
    TestFolder folder;
    for (const CalculationKind kind : {CalculationKind::DepthDose, CalculationKind::Kernel}) {
        const ExchangeContent content = betaContent(kind, 12.25, 0.5, 3.7);
        writeExchangeFiles(folder.path(), content);
        const bool depthDose = kind == CalculationKind::DepthDose;
        const engine::RunFile run = engine::readRunFile(
            folder.path() / engine::RUN_FILE_NAME, depthDose ? engine::RunKind::DepthDose : engine::RunKind::Kernel);
        EXPECT_EQ(run.maxEnergyMeV, 12.3f);  // the box's tenth, as written
        EXPECT_EQ(run.historyCount, depthDose ? 10000000.0f : 1000000.0f);
        EXPECT_EQ(engine::trimTrailingBlanks(run.resultFileName),
                  content.resultBaseName + (depthDose ? ".pdd" : ".elk"));
        if (depthDose) {
            EXPECT_EQ(engine::trimTrailingBlanks(run.fluenceFileName), content.resultBaseName + ".spct");
        }

        const engine::Spectrum spectrum = engine::readSpectrumFile(folder.path() / engine::SPECTRUM_FILE_NAME);
        EXPECT_EQ(engine::trimTrailingBlanks(spectrum.titleLine1), "\x83\xBF=.5");
        EXPECT_EQ(engine::trimTrailingBlanks(spectrum.titleLine2), "\x83\xC0=3.7");
        for (int bin = 1; bin <= engine::SPECTRUM_BINS; ++bin) {
            const auto i = static_cast<std::size_t>(bin - 1);
            EXPECT_EQ(spectrum.relativeEnergy[i], asRead(relativeEnergyText(bin), 2)) << bin;
            EXPECT_NEAR(spectrum.relativeEnergy[i], static_cast<float>(bin) / 100.0f, 1e-6f) << bin;
            const float written = asRead(" " + weightText(content.relativeWeight[static_cast<std::size_t>(bin)]), 3);
            EXPECT_EQ(spectrum.binWeight[i], written < engine::WEIGHT_FLOOR ? 0.0f : written) << bin;
            EXPECT_NEAR(spectrum.binWeight[i], written < engine::WEIGHT_FLOOR ? 0.0 : content.relativeWeight[bin + 0u],
                        5e-4 * content.relativeWeight[bin + 0u])
                << bin;
        }
        EXPECT_EQ(spectrum.binWeight[0], 1.0f);  // the largest weight, next to the infinite end at x = 0
    }
}

// Every weight a scroll bar can give reads back within the four digits written, and the floor of
// the simulators is what decides whether a bin runs.
TEST(ExchangeContract, WeightsOverTheScrollBarRangeReadWithinTheirDigits) {
    TestFolder folder;
    for (int a = 1; a <= 200; a += 13)
        for (int b = 1; b <= 200; b += 17) {
            const ExchangeContent content = betaContent(CalculationKind::Kernel, 9.0, a / 10.0, b / 10.0);
            writeExchangeFiles(folder.path(), content);
            const engine::Spectrum spectrum = engine::readSpectrumFile(folder.path() / engine::SPECTRUM_FILE_NAME);
            for (std::size_t i = 0; i < spectrum.binWeight.size(); ++i) {
                const double meant = content.relativeWeight[i + 1];
                if (meant < 0.000999) {
                    EXPECT_EQ(spectrum.binWeight[i], 0.0f) << a << " " << b << " bin " << i + 1;
                } else if (meant > 0.001001) {
                    EXPECT_NEAR(spectrum.binWeight[i], meant, 5.0e-4 * meant) << a << " " << b << " bin " << i + 1;
                }
            }
        }
}

}  // namespace
}  // namespace beamdata
