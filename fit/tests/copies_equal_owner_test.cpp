// Before the fit's and the tests' own writers of the spectrum give way to beamdata's, they are shown
// to give the same bytes.
#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "fit/beta_weights.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TEST(CopiesEqualOwner, WeightTextAndBetaDensity) {
    long compared = 0;
    for (int a = 1; a <= 200; ++a)
        for (int b = 1; b <= 200; ++b) {
            const auto mine = fit::relativeBetaDensity(a / 10.0, b / 10.0);
            const auto owner = beamdata::relativeBetaDensity(a / 10.0, b / 10.0);
            ASSERT_EQ(mine.has_value(), owner.has_value());
            if (!mine) continue;
            for (std::size_t j = 0; j < owner->size(); ++j) {
                ASSERT_EQ((*mine)[j], (*owner)[j]);
                ASSERT_EQ(fit::weightText((*mine)[j]), beamdata::weightText((*owner)[j])) << (*mine)[j];
                ++compared;
            }
        }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-12.0, 0.0);
    for (int i = 0; i < 200000; ++i) {
        const double value = std::pow(10.0, exponent(random));
        ASSERT_EQ(fit::weightText(value), beamdata::weightText(value)) << value;
    }
    for (int m = 1000; m <= 9999; ++m)
        for (int e = -6; e <= 0; ++e) {
            const double halfWay = (m + 0.5) * std::pow(10.0, e - 4);
            ASSERT_EQ(fit::weightText(halfWay), beamdata::weightText(halfWay)) << halfWay;
        }
    EXPECT_GT(compared, 1000000);
}

TEST(CopiesEqualOwner, TestSupportSpectrumFile) {
    testing_support::TempFolder folder("copies");
    // The test writer divides by an infinite density for alpha below 1 (its only fault); the identity
    // runs use alpha 8, beta 2.
    for (const auto& [alpha, beta] : {std::pair{8.0, 2.0}, std::pair{3.0, 1.0}, std::pair{12.0, 3.0}}) {
        testing_support::writeBetaSpectrum(folder.path(), alpha, beta);
        beamdata::ExchangeContent content;
        content.titleLine1 = beamdata::alphaTitleLine(alpha);
        content.titleLine2 = beamdata::betaTitleLine(beta);
        content.relativeWeight = *beamdata::relativeBetaDensity(alpha, beta);
        EXPECT_EQ(testing_support::readFile(folder.path() / "Nimbrola.txt"), beamdata::spectrumFileBytes(content))
            << alpha << " " << beta;
    }
}

}  // namespace
