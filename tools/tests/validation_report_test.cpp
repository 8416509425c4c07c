#include "tools/validation_report.h"
#include "beamdata/beam_quality.h"

#include "engine/run_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// The typed reference rows are self-consistent: depths ordered within a row, growing with energy,
// and the practical range gives back the nominal energy through Ep,0 = 0.22 + 1.98 Rp + 0.0025 Rp^2.
TEST(FullPhysicsReference, RowsAreConsistentWithTheirEnergies) {
    const auto& rows = tools::fullPhysicsReference();
    ASSERT_EQ(rows.size(), 7u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const tools::ReferenceDepthDose& r = rows[i];
        SCOPED_TRACE(r.energyMeV);
        EXPECT_LT(r.doseMaximumDepthCm, r.r90Cm);
        EXPECT_LT(r.r90Cm, r.r80Cm);
        EXPECT_LT(r.r80Cm, r.r50Cm);
        EXPECT_LT(r.r50Cm, r.r10Cm);
        EXPECT_LT(r.r10Cm, r.practicalRangeCm);
        EXPECT_NEAR(beamdata::mostProbableEnergyMeV(10.0 * r.practicalRangeCm), r.energyMeV, 0.15);
        if (i > 0) {
            EXPECT_GT(r.r50Cm, rows[i - 1].r50Cm);
        }
    }
    EXPECT_EQ(tools::findReference(9.0), &rows[2]);
    EXPECT_EQ(tools::findReference(10.0), nullptr);
}

class ValidationFiles : public ::testing::Test {
protected:
    // One folder per test: ctest runs the tests of this fixture side by side.
    fs::path folder_ = fs::temp_directory_path() /
                       ("orvalis-validation-" +
                        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    void SetUp() override { fs::create_directories(folder_); }
    void TearDown() override { fs::remove_all(folder_); }

    // A result file whose dose is flat to plateauEndMm and falls linearly to zero at zeroMm (slab centres).
    std::string writeResult(const std::string& name, double plateauEndMm, double zeroMm) {
        const fs::path path = folder_ / name;
        std::ofstream out(path, std::ios::binary);
        out << "  9.00 MeV\r\n   1000000.\r\n";
        for (int j = 1; j <= 125; ++j) {
            const double centre = j - 15 - 0.5;
            double dose = 0.0;
            if (centre >= 0.0)
                dose = centre <= plateauEndMm ? 1.0 : std::max(0.0, (zeroMm - centre) / (zeroMm - plateauEndMm));
            char line[32];
            std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", j - 15, dose);
            out << line;
        }
        return path.string();
    }
};

// From the manifest to the report: our R50 is 1 mm beyond the 9 MeV reference, and the quarter run
// 0.3 mm off, which the pooled uncertainty turns into 0.3 / sqrt(3) mm.
TEST_F(ValidationFiles, ReportComparesOurRangesWithTheReference) {
    const std::string full = writeResult("full.pdd", 30.67, 44.67);
    const std::string quarter = writeResult("quarter.pdd", 30.97, 44.97);
    const fs::path manifest = folder_ / "manifest.txt";
    std::ofstream(manifest) << "# energy histories seconds full quarter\n9 1000000 12.5 " << full << " " << quarter
                            << "\n";

    const std::vector<tools::ValidationRun> runs = tools::loadValidationRuns(manifest.string());
    ASSERT_EQ(runs.size(), 1u);
    // The file holds 3 significant digits of dose: 0.0005 over a slope of 0.07 per mm is 0.007 mm.
    EXPECT_NEAR(runs[0].quality.r50Mm, 37.67, 0.01);
    EXPECT_NEAR(tools::pooledR50UncertaintyMm(runs), 0.3 / std::sqrt(3.0), 0.01);

    const std::string report = tools::formatValidationReport(runs, "make validate", "images/plot.png");
    EXPECT_NE(report.find("| 9 | ours |"), std::string::npos);
    EXPECT_NE(report.find("| 36.67 |"), std::string::npos);  // reference R50 in mm
    EXPECT_NE(report.find("| +1.00 |"), std::string::npos);  // R50 difference
    EXPECT_NE(report.find("0.173 mm"), std::string::npos);
    EXPECT_NE(report.find("![Our depth doses (lines) over the reference depths (markers)](images/plot.png)"),
              std::string::npos);
}

TEST_F(ValidationFiles, MalformedManifestNamesTheLine) {
    const fs::path manifest = folder_ / "manifest.txt";
    std::ofstream(manifest) << "# header\n9 1000000 twelve a.pdd b.pdd\n";
    try {
        tools::loadValidationRuns(manifest.string());
        FAIL() << "a malformed manifest was accepted";
    } catch (const engine::RunError& error) {
        EXPECT_EQ(error.lineNumber(), 2);
    }
}

}  // namespace
