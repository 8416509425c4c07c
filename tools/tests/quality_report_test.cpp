#include "tools/quality_report.h"
#include "testsupport/test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testsupport/test_folder.h"

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

// A 9 MeV-like depth dose in the window's layout, its depths divided by `perMm` (10: written in cm).
std::string csvCurve(double perMm, double stepMm = 1.0) {
    std::string text = "depth,dose\n";
    for (double z = 0.0; z <= 70.0; z += stepMm) {
        const double dose = (0.8 + 0.2 * (1.0 - std::exp(-z / 8.0))) * 50.0 * std::erfc((z - 36.0) / 4.0) + 0.5;
        text += std::to_string(z / perMm) + "," + std::to_string(dose) + "\n";
    }
    return text;
}

std::string numberAfter(const std::string& text, const std::string& name) {
    const std::size_t at = text.find(" " + name + "=");
    return at == std::string::npos ? ""
                                   : text.substr(at + name.size() + 2, text.find(' ', at + 1) - at - name.size() - 2);
}

// Curves that cannot be depth doses in mm are refused, named, with a non-zero status, and never
// answered with a line of "-"; --depth-unit cm reads cm depths as the same curve in mm.
TEST(QualityCommand, ImplausibleCurvesAreRefusedWithTheFileNamed) {
    const testsupport::TestFolder folder;
    const std::string mm = folder.write("mm.csv", csvCurve(1.0)).string();
    const std::string cm = folder.write("cm.csv", csvCurve(10.0)).string();
    const std::string one = folder.write("one.csv", "depth,dose\n10,100\n").string();
    std::string twoPeaks = csvCurve(1.0);
    twoPeaks += "71,60\n72,130\n73,60\n74,1\n";
    const std::string two = folder.write("two.csv", twoPeaks).string();
    // Ten points on a plateau: no fall-off, so no R50, no energy, no reference depth.
    std::string flat = "depth,dose\n";
    for (int z = 1; z <= 10; ++z) flat += std::to_string(z * 10) + ",100\n";
    const std::string noFigure = folder.write("flat.csv", flat).string();

    std::ostringstream mmOut, mmErrors;
    ASSERT_EQ(tools::runQuality(tools::parseQualityArguments({mm}), mmOut, mmErrors), 0) << mmErrors.str();
    const std::pair<std::string, std::string> refusals[] = {
        {cm, "orvalis-quality: cm.csv: depths look like cm ("},
        {one, "orvalis-quality: one.csv: 1 point, fewer than 5: too few for a depth-dose curve\n"},
        {two, "orvalis-quality: two.csv: a second maximum (130 at 72 mm) higher than the dose before it"},
        {noFigure, "orvalis-quality: flat.csv: no R50 in this curve: it never falls to half of its maximum\n"},
    };
    for (const auto& [file, message] : refusals) {
        std::ostringstream out, errors;
        EXPECT_EQ(tools::runQuality(tools::parseQualityArguments({file}), out, errors), 1) << file;
        EXPECT_EQ(errors.str().rfind(message, 0), 0u) << errors.str();
        EXPECT_EQ(out.str(), "") << file;
    }
    std::ostringstream out, errors;
    EXPECT_EQ(tools::runQuality(tools::parseQualityArguments({"--depth-unit", "cm", cm}), out, errors), 0)
        << errors.str();
    EXPECT_EQ(numberAfter(out.str(), "R50"), numberAfter(mmOut.str(), "R50"));
    EXPECT_EQ(numberAfter(out.str(), "Rp"), numberAfter(mmOut.str(), "Rp"));
    EXPECT_FALSE(numberAfter(out.str(), "R50").empty());
    EXPECT_THROW(tools::parseQualityArguments({"--depth-unit", "inch", cm}), std::invalid_argument);
    EXPECT_THROW(tools::parseQualityArguments({cm, "--depth-unit"}), std::invalid_argument);
}

// A curve of a file with several is refused on its own: the other curves are still analysed. A file
// beyond the limits is named with the limit.
TEST(QualityCommand, ARefusedCurveLeavesTheOthersAndLimitsAreNamed) {
    const testsupport::TestFolder folder;
    std::string mcc;
    {
        std::ifstream in(SAMPLES + "/electrons-6-9-12MeV.mcc", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        mcc = bytes.str();
    }
    // The first depth curve (the file's scan 2) cut to four points.
    const std::size_t second = mcc.find("BEGIN_DATA", mcc.find("BEGIN_SCAN 2"));
    const std::size_t fifth = [&] {
        std::size_t at = second;
        for (int k = 0; k < 5; ++k) at = mcc.find('\n', at) + 1;
        return at;
    }();
    mcc.erase(fifth, mcc.find("END_DATA", fifth) - fifth);
    const std::string cut = folder.write("cut.mcc", mcc).string();
    std::ostringstream out, errors;
    EXPECT_EQ(tools::runQuality(tools::parseQualityArguments({cut}), out, errors), 1);
    EXPECT_EQ(errors.str().rfind("orvalis-quality: cut.mcc, depth curve 1: 4 points, fewer than 5", 0), 0u)
        << errors.str();
    EXPECT_EQ(out.str().find("QUALITY file=cut.mcc scan=1 "), std::string::npos);
    EXPECT_NE(out.str().find("QUALITY file=cut.mcc scan=2 "), std::string::npos);
    EXPECT_NE(out.str().find("QUALITY file=cut.mcc scan=3 "), std::string::npos);

    tools::QualityOptions limited = tools::parseQualityArguments({SAMPLES + "/example-9MeV.mcc"});
    limited.limits.pointsPerCurve = 10;
    // --scan N: that depth curve alone, with the same line as in the whole file's output.
    std::ostringstream oneOut, oneErrors;
    EXPECT_EQ(tools::runQuality(tools::parseQualityArguments({"--scan", "2", cut}), oneOut, oneErrors), 0);
    EXPECT_EQ(oneOut.str().find("QUALITY file=cut.mcc scan=3 "), std::string::npos);
    const std::string scan2 = oneOut.str().substr(oneOut.str().find("QUALITY file=cut.mcc scan=2 "));
    EXPECT_NE(out.str().find(scan2), std::string::npos);
    std::ostringstream noOut, noErrors;
    EXPECT_EQ(tools::runQuality(tools::parseQualityArguments({"--scan", "4", cut}), noOut, noErrors), 1);
    EXPECT_NE(noErrors.str().find("cut.mcc: no depth curve 4"), std::string::npos);
    EXPECT_THROW(tools::parseQualityArguments({"--scan", "0", cut}), std::invalid_argument);

    std::ostringstream limitedOut, limitedErrors;
    EXPECT_EQ(tools::runQuality(limited, limitedOut, limitedErrors), 1);
    EXPECT_NE(limitedErrors.str().find("example-9MeV.mcc, line "), std::string::npos);
    EXPECT_NE(limitedErrors.str().find(": more than 10 points in one curve, the limit of a measured curve"),
              std::string::npos);
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
