#include "fit/basis_cache.h"

#include "engine/run_error.h"
#include "synthetic_basis.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using testing_support::TempFolder;

TEST(ContentHash, IsFnv1aOfTheBytes) {
    TempFolder folder("fit-hash");
    testing_support::writeFile(folder.path() / "a.txt", "a");
    EXPECT_EQ(fit::contentHash(folder.path() / "a.txt"), 0xaf63dc4c8601ec8cULL);  // published FNV-1a 64 of "a"
    testing_support::writeFile(folder.path() / "b.txt", "b");
    EXPECT_NE(fit::contentHash(folder.path() / "b.txt"), fit::contentHash(folder.path() / "a.txt"));
    EXPECT_THROW(fit::contentHash(folder.path() / "none"), engine::RunError);
}

TEST(BasisCache, RoundTripsExactlyAndRefusesEveryMismatch) {
    TempFolder folder("fit-cache");
    fit::AxisBasis basis = fit_testing::syntheticBasis(9.0f);
    basis.historiesPerCurve = 20000;
    basis.curve[5][40] = 1.0 / 3.0;  // a value with all 17 digits
    const auto file = folder.path() / fit::basisCacheFileName(9.0f);
    EXPECT_EQ(file.filename().string(), "fit-basis-9.0MeV.txt");
    fit::saveBasis(file, basis, 42u);

    std::string reason;
    const auto loaded = fit::loadBasis(file, 9.0f, 20000, 112, 42u, reason);
    ASSERT_TRUE(loaded.has_value()) << reason;
    EXPECT_EQ(loaded->energyKeV, basis.energyKeV);
    EXPECT_EQ(loaded->curve, basis.curve);

    EXPECT_FALSE(fit::loadBasis(file, 9.0f, 20000, 112, 43u, reason));
    EXPECT_EQ(reason, "made with another ELDAT.dat");
    EXPECT_FALSE(fit::loadBasis(file, 9.1f, 20000, 112, 42u, reason));
    EXPECT_EQ(reason, "made for another maximum energy");
    EXPECT_FALSE(fit::loadBasis(file, 9.0f, 10000, 112, 42u, reason));
    EXPECT_EQ(reason, "made with another number of histories");
    EXPECT_FALSE(fit::loadBasis(file, 9.0f, 20000, 122, 42u, reason));
    EXPECT_FALSE(fit::loadBasis(folder.path() / "none.txt", 9.0f, 20000, 112, 42u, reason));
    EXPECT_EQ(reason, "no basis file yet");
}

TEST(BasisCache, RefusesADamagedFile) {
    TempFolder folder("fit-cache-damaged");
    const fit::AxisBasis basis = fit_testing::syntheticBasis(6.0f);
    const std::string text = fit::basisCacheText(basis, 7u);
    const auto file = folder.path() / "b.txt";
    std::string reason;
    testing_support::writeFile(file, text.substr(0, text.find('\n', text.size() / 2) + 1));
    EXPECT_FALSE(fit::loadBasis(file, 6.0f, 1, 112, 7u, reason));
    EXPECT_EQ(reason, "damaged: it ends early");
    testing_support::writeFile(file, text.substr(0, text.size() - 3));  // the last number cut short
    EXPECT_FALSE(fit::loadBasis(file, 6.0f, 1, 112, 7u, reason));
    EXPECT_EQ(reason, "damaged: it ends early");
    testing_support::writeFile(file, text);
    EXPECT_TRUE(fit::loadBasis(file, 6.0f, 1, 112, 7u, reason)) << reason;
    // The last curve's line ends where the variances begin.
    std::size_t curvesEnd = 0;
    for (int line = 0; line < 5 + 112; ++line) curvesEnd = text.find('\n', curvesEnd) + 1;
    std::string negative = text;
    negative.replace(negative.rfind(' ', curvesEnd), 1, " -");
    testing_support::writeFile(file, negative);
    EXPECT_FALSE(fit::loadBasis(file, 6.0f, 1, 112, 7u, reason));
    EXPECT_EQ(reason, "damaged: curve 112 holds an impossible value");
    // A value no history can leave: more energy in the counter than the electron brings.
    std::string huge = text;
    const std::size_t last = huge.rfind(' ', curvesEnd) + 1;
    huge.replace(last, huge.find('\n', last) - last, "1e300");
    testing_support::writeFile(file, huge);
    EXPECT_FALSE(fit::loadBasis(file, 6.0f, 1, 112, 7u, reason));
    EXPECT_EQ(reason, "damaged: curve 112 holds more energy than its electrons bring");
    // A variance cannot be negative either.
    std::string negativeVariance = text;
    const std::size_t lastVariance = negativeVariance.rfind(' ') + 1;
    negativeVariance.replace(lastVariance, negativeVariance.size() - 1 - lastVariance, "-1e-9");
    testing_support::writeFile(file, negativeVariance);
    EXPECT_FALSE(fit::loadBasis(file, 6.0f, 1, 112, 7u, reason));
    EXPECT_EQ(reason, "damaged: the variance of curve 112 cannot be read");
}

TEST(BasisCache, KeepsEachCurvesVarianceAndRebuildsAFileWithoutIt) {
    TempFolder folder("fit-cache-variance");
    fit::AxisBasis basis = fit_testing::syntheticBasis(9.0f);
    basis.historiesPerCurve = 20000;
    basis.variance.assign(basis.curve.size(), fit::DepthCurve{});
    for (std::size_t k = 0; k < basis.curve.size(); ++k)
        for (std::size_t s = 0; s < fit::DEPTH_BINS; ++s)
            basis.variance[k][s] = 1e-4 * basis.curve[k][s] + 1e-9 * static_cast<double>(k);
    const auto file = folder.path() / fit::basisCacheFileName(9.0f);
    fit::saveBasis(file, basis, 42u);
    std::string reason;
    const auto loaded = fit::loadBasis(file, 9.0f, 20000, static_cast<int>(basis.curve.size()), 42u, reason);
    ASSERT_TRUE(loaded.has_value()) << reason;
    ASSERT_EQ(loaded->variance.size(), basis.variance.size());
    for (std::size_t k = 0; k < basis.curve.size(); ++k)
        for (std::size_t s = 0; s < fit::DEPTH_BINS; ++s)
            EXPECT_NEAR(loaded->variance[k][s], basis.variance[k][s], 1e-8 * basis.variance[k][s] + 1e-300);
    // A file of the layout before the variances is never read as one: it is simulated anew.
    std::string text = testing_support::readFile(file);
    const std::string title = text.substr(0, text.find('\n'));
    ASSERT_NE(title.find("layout 2"), std::string::npos);
    text.replace(title.find("layout 2"), 8, "layout 1");
    testing_support::writeFile(file, text.substr(0, text.find("\n", text.size() / 2)));
    EXPECT_FALSE(fit::loadBasis(file, 9.0f, 20000, static_cast<int>(basis.curve.size()), 42u, reason));
    EXPECT_EQ(reason, "not a basis file of this layout");
}

}  // namespace
