#include "tools/quality_report.h"
#include "testsupport/test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string SAMPLES = BEAMDATA_SAMPLES_PATH;

// Every depth curve of a file gets a readable line and a machine line; E0, Ep0 and zref follow
// from the R50 and Rp of the line itself.
TEST(QualityCommand, PrintsTwoLinesPerDepthCurve) {
    std::ostringstream out, errors;
    const int status = tools::runQuality(tools::parseQualityArguments({SAMPLES + "/electrons-6-9-12MeV.mcc"}), out,
                                         errors);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(errors.str().empty());
    std::istringstream lines(out.str());
    std::string line;
    int machine = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("QUALITY ", 0) != 0) continue;
        ++machine;
        const auto value = [&line](const std::string& name) {
            const std::size_t at = line.find(" " + name + "=");
            return std::stod(line.substr(at + name.size() + 2));
        };
        EXPECT_NEAR(value("E0"), 2.33 * value("R50") / 10.0, 0.005) << line;
        EXPECT_NEAR(value("Ep0"), 0.22 + 1.98 * value("Rp") / 10.0 + 0.0025 * std::pow(value("Rp") / 10.0, 2), 0.005);
        EXPECT_NEAR(value("zref"), 0.6 * value("R50") - 1.0, 0.005) << line;
    }
    EXPECT_EQ(machine, 3);
    EXPECT_NE(out.str().find("QUALITY file=electrons-6-9-12MeV.mcc scan=2 energy=9 field=100x100 "
                             "detector=Advanced_Markus_chamber_34045 quantity=ionisation R100="),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("depth curve 2 (9 MeV, 100 x 100 mm, SSD 1000 mm, Advanced Markus chamber 34045, "
                             "ionisation \xE2\x86\x92 dose): R50 "),
              std::string::npos);
}

// --csv: one heading and a row per depth curve over all files; a bad file is named on the error
// stream, the others still analysed, and the status is not 0.
TEST(QualityCommand, OneTableForManyFilesAndErrorsNamed) {
    std::ostringstream out, errors;
    const int status = tools::runQuality(
        tools::parseQualityArguments({"--csv", SAMPLES + "/profiles-only.mcc", SAMPLES + "/electrons-9-16MeV.asc",
                                      SAMPLES + "/example-9MeV-w2cad.asc", "--dose"}),
        out, errors);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors.str().rfind("orvalis-quality: no depth-dose curve in profiles-only.mcc (", 0), 0u);
    std::istringstream lines(out.str());
    std::string heading, row;
    std::getline(lines, heading);
    EXPECT_EQ(heading.rfind("file,scan,energy_MeV,field_mm,detector,quantity,R100_mm,R90_mm,R80_mm,R50_mm,Rp_mm", 0),
              0u);
    int rows = 0;
    while (std::getline(lines, row)) ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_NE(out.str().find("electrons-9-16MeV.asc,1,9,100x100,ionisation chamber,dose,"), std::string::npos);
    EXPECT_THROW(tools::parseQualityArguments({"--dose", "--ionisation", "m.mcc"}), std::invalid_argument);
    EXPECT_THROW(tools::parseQualityArguments({"--csv"}), std::invalid_argument);
}

// A Tolvane result: one dose curve at its label depths; with its uncertainty file beside it the
// QUALITY line goes on with sR90= sR80= sR50= sR10=, and its other fields stay as they were.
TEST(QualityCommand, DepthDoseResultWithItsUncertaintyFile) {
    const testsupport::TestFolder testFolder("pdd");
    const std::filesystem::path& folder = testFolder.path();
    const auto write = [&folder](const char* name, double (*value)(int label)) {
        std::ofstream out(folder / name, std::ios::binary);
        out << "  9.00 MeV alpha=8.0           beta=2.0            \r\n     100000.\r\n";
        for (int n = 1; n <= 125; ++n) {
            char line[32];
            std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", n - 15, value(n - 15));
            out << line;
        }
    };
    // Flat to 20 mm, then 5 % per mm down to 0; 1 % uncertainty wherever there is dose.
    write("run.pdd", [](int label) { return label < 1 ? 0.0 : std::max(0.0, 1.0 - 0.05 * std::max(0, label - 20)); });
    const auto run = [&folder]() {
        std::ostringstream out, errors;
        EXPECT_EQ(tools::runQuality(tools::parseQualityArguments({(folder / "run.pdd").string()}), out, errors), 0)
            << errors.str();
        std::istringstream lines(out.str());
        std::string line;
        while (std::getline(lines, line))
            if (line.rfind("QUALITY ", 0) == 0) return line;
        return std::string();
    };
    const std::string alone = run();
    EXPECT_EQ(alone.rfind("QUALITY file=run.pdd scan=1 ", 0), 0u) << alone;
    EXPECT_NE(alone.find(" R90=22.00 R80=24.00 R50=30.00 "), std::string::npos) << alone;
    EXPECT_EQ(alone.find("sR"), std::string::npos) << alone;

    write("run.sd", [](int label) { return label < 1 ? 0.0 : 0.01; });
    const std::string withSd = run();
    EXPECT_EQ(withSd, alone + " sR90=0.20 sR80=0.20 sR50=0.20 sR10=0.20");
}

}  // namespace
