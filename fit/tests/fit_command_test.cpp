#include "fit/fit_command.h"
#include "beamdata/fit_protocol.h"

#include "engine/program_info.h"
#include "engine/run_error.h"
#include "fit/fit_report.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <stdexcept>

namespace {

using testing_support::TempFolder;

TEST(FitArguments, ReadsTheOptionsAndRefusesWhatIsMissingOrWrong) {
    const fit::CommandOptions o = fit::parseArguments({"m.csv", "--rp", "4.5", "--fixed-emax", "--histories", "5000",
                                                       "--out", "f.pdd", "--span", "15", "--no-cache"});
    EXPECT_EQ(o.measuredFile, "m.csv");
    EXPECT_EQ(*o.practicalRangeCm, 4.5);
    EXPECT_EQ(o.mode, fit::MaxEnergyMode::Fixed);
    EXPECT_EQ(fit::historiesPerCurve(o), 5000);
    EXPECT_EQ(o.curveFile, "f.pdd");
    EXPECT_DOUBLE_EQ(o.maxEnergySpan, 0.15);
    EXPECT_FALSE(o.useCache);
    EXPECT_TRUE(fit::parseArguments({"m.csv", "--rp", "measured"}).practicalRangeFromMeasurement);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"m.csv"},
                                                {"--emax", "9"},
                                                {"m.csv", "--emax", "9", "--rp", "4"},
                                                {"m.csv", "--emax", "nine"},
                                                {"m.csv", "--emax", "0.5"},
                                                {"m.csv", "--emax", "9", "--histories", "12.5"},
                                                {"m.csv", "--emax", "9", "--histories", "20000000"},
                                                {"m.csv", "--emax"},
                                                {"m.csv", "--emax", "9", "--colour"},
                                                {"m.csv", "n.csv", "--emax", "9"}})
        EXPECT_THROW(fit::parseArguments(bad), std::invalid_argument) << bad.size();
}

TEST(FitArguments, ScanAndQuantityOfAWaterTankFile) {
    const fit::CommandOptions o = fit::parseArguments({"tank.mcc", "--emax", "9", "--scan", "2", "--dose"});
    EXPECT_EQ(o.scan, 2);
    EXPECT_EQ(o.quantity, beamdata::QuantityChoice::Dose);
    EXPECT_EQ(fit::parseArguments({"t.asc", "--emax", "9", "--ionisation"}).quantity,
              beamdata::QuantityChoice::Ionisation);
    EXPECT_EQ(fit::parseArguments({"t.asc", "--emax", "9"}).quantity, beamdata::QuantityChoice::AsDetected);
    EXPECT_EQ(fit::parseArguments({"t.asc", "--emax", "9"}).depthUnit, beamdata::DepthUnit::Mm);
    EXPECT_EQ(fit::parseArguments({"t.csv", "--depth-unit", "cm", "--model", "free", "--emax", "9"}).depthUnit,
              beamdata::DepthUnit::Cm);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"t.mcc", "--emax", "9", "--scan", "0"},
                                                {"t.mcc", "--emax", "9", "--scan", "1.5"},
                                                {"t.mcc", "--emax", "9", "--dose", "--ionisation"},
                                                {"t.mcc", "--emax", "9", "--depth-unit", "m"},
                                                {"t.mcc", "--emax", "9", "--depth-unit"}})
        EXPECT_THROW(fit::parseArguments(bad), std::invalid_argument) << bad.back();
}

TEST(FitReport, ResultLinesReadBackAndCurveFileHasTheResultLayout) {
    fit::FitResult r;
    r.onGrid.alpha = 8.0;
    r.onGrid.beta = 2.3;
    r.onGrid.maxEnergyMeV = 9.4;
    r.onGrid.rmsPercent = 0.5123;
    r.continuous = r.onGrid;
    r.continuous.alpha = 8.0417;
    const std::string lines = fit::resultLines(r);
    std::istringstream in(lines);
    std::string first;
    std::string second;
    std::getline(in, first);
    std::getline(in, second);
    const auto parameters = [](const std::string& line, const char* kind) {
        const auto record = beamdata::parseResultLine(line);
        return record ? beamdata::betaParameters(*record, kind) : std::nullopt;
    };
    const auto grid = parameters(first, "grid");
    ASSERT_TRUE(grid.has_value()) << first;
    EXPECT_EQ(grid->beta, 2.3);
    EXPECT_EQ(grid->maxEnergyMeV, 9.4);
    EXPECT_EQ(parameters(second, "continuous")->alpha, 8.042);
    EXPECT_FALSE(parameters(second, "grid").has_value());
    EXPECT_FALSE(parameters("RESULT grid alpha=8 beta=x emax=9 rms=1", "grid").has_value());
    EXPECT_EQ(fit::progressLine("basis", 3, 112), "PROGRESS basis 3 112\n");

    r.onGrid.relative[40] = 1.0;
    r.onGrid.relative[41] = 0.5;
    const std::string file = fit::fittedCurveFileText(r.onGrid, 2240000.0);
    EXPECT_EQ(file.substr(0, 53), "  9.40 MeV fit alpha=8.0       beta=2.3            \r\n");
    EXPECT_NE(file.find("\r\n   2240000.\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\n  26. 0.100E+01\r\n  27. 0.500E+00\r\n"), std::string::npos);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 127);
}

// A whole command on a tiny basis: the first run simulates and caches, the second reads the cache.
TEST(FitCommand, SimulatesOnceThenReadsTheCachedBasis) {
    TempFolder folder("fit-command");
    testing_support::writeFile(folder.path() / "ELDAT.dat", testing_support::readFile(ELDAT_PATH));
    std::string measured = "depth, dose\n";
    for (int d = 1; d <= 30; ++d)
        measured += std::to_string(d) + ", " + std::to_string(d < 10 ? 80 + 2 * d : std::max(0, 100 - 10 * (d - 10))) +
                    "\n";
    testing_support::writeFile(folder.path() / "m.csv", measured);
    fit::CommandOptions o = fit::parseArguments({(folder.path() / "m.csv").string(), "--emax", "3.0", "--histories",
                                                 "100", "--out", (folder.path() / "f.pdd").string(), "--fixed-emax"});
    o.workFolder = folder.path();
    std::ostringstream first;
    ASSERT_EQ(fit::runFitCommand(o, first), 0);
    // The report names the program and version that made it, for the commissioning record.
    EXPECT_EQ(first.str().rfind(engine::versionLine("orvalis-fit"), 0), 0u) << first.str().substr(0, 80);
    EXPECT_NE(first.str().find("no basis file yet; simulating 112 curves of 100 histories"), std::string::npos);
    EXPECT_NE(first.str().find("PROGRESS basis 112 112\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "fit-basis-3.0MeV.txt"));
    EXPECT_EQ(testing_support::readFile(folder.path() / "f.pdd").size(), 53u + 13u + 125u * 17u);

    std::ostringstream second;
    ASSERT_EQ(fit::runFitCommand(o, second), 0);
    EXPECT_NE(second.str().find("Basis read from fit-basis-3.0MeV.txt"), std::string::npos);
    // The same basis gives the same fit.
    auto resultOf = [](const std::string& text) { return text.substr(text.find("RESULT grid")); };
    EXPECT_EQ(resultOf(first.str()), resultOf(second.str()));

    o.plotFile = folder.path() / "p.png";
    std::ostringstream noPlot;
    fit::runFitCommand(o, noPlot);
    EXPECT_NE(noPlot.str().find("draws no plots"), std::string::npos);
}

TEST(FitCommand, ReportsUnusableInputsAsRunErrors) {
    TempFolder folder("fit-command-bad");
    fit::CommandOptions o = fit::parseArguments({(folder.path() / "none.csv").string(), "--emax", "9"});
    o.workFolder = folder.path();
    std::ostringstream out;
    EXPECT_THROW(fit::runFitCommand(o, out), engine::RunError);
    testing_support::writeFile(folder.path() / "m.csv", "h\n1, 100\n2, 50\n3, 0\n");
    o = fit::parseArguments({(folder.path() / "m.csv").string(), "--rp", "4.5"});
    o.workFolder = folder.path();  // no water.csda there
    EXPECT_THROW(fit::runFitCommand(o, out), engine::RunError);
}

TEST(FitCommand, ErrorsNameTheirFileAndOutputsAreCheckedBeforeAnyWork) {
    TempFolder folder("fit-command-names");
    testing_support::writeFile(folder.path() / "ELDAT.dat", testing_support::readFile(ELDAT_PATH));
    // Five points on a plateau: a curve the fit may read, but with nothing to fit up to.
    const std::string flat = "h\n10, 100\n20, 100\n30, 100\n40, 100\n50, 100\n";
    testing_support::writeFile(folder.path() / "flat.csv", flat);
    const auto measured = (folder.path() / "flat.csv").string();
    auto message = [&](std::vector<std::string> arguments) {
        fit::CommandOptions o = fit::parseArguments(arguments);
        o.workFolder = folder.path();
        std::ostringstream out;
        try {
            fit::runFitCommand(o, out);
        } catch (const engine::RunError& e) {
            if (!o.curveFile.empty() || !o.plotFile.empty()) {
                EXPECT_EQ(out.str().find("simulating"), std::string::npos) << "work was done before the refusal";
            }
            return std::string(e.what());
        }
        return std::string("no error");
    };
    std::filesystem::create_directory(folder.path() / "a-folder.pdd");
    EXPECT_NE(message({measured, "--emax", "3", "--out", measured}).find("is the input file flat.csv"),
              std::string::npos);
    EXPECT_NE(
        message({measured, "--emax", "3", "--out", (folder.path() / "a-folder.pdd").string()}).find("is a folder"),
        std::string::npos);
    EXPECT_NE(message({measured, "--emax", "3", "--plot", (folder.path() / "ELDAT.dat").string()})
                  .find("is the input file ELDAT.dat"),
              std::string::npos);
    EXPECT_EQ(testing_support::readFile(measured), flat);

#ifndef _WIN32
    // Names another fit is writing, and a link at the lock name: refused before the basis, naming
    // the file, with nothing written or made through the link.
    {
        const testing_support::LockHeldElsewhere running(folder.path() / "busy.pdd.lock");
        const std::string refusal = message({measured, "--emax", "3", "--out", (folder.path() / "busy.pdd").string()});
        EXPECT_NE(refusal.find("busy.pdd\" is being written by another run"), std::string::npos) << refusal;
    }
    {
        const testing_support::LockHeldElsewhere running(folder.path() / "busy.png.lock");
        const std::string refusal = message({measured, "--emax", "3", "--plot", (folder.path() / "busy.png").string()});
        EXPECT_NE(refusal.find("busy.png\" is being written by another run"), std::string::npos) << refusal;
    }
    std::filesystem::create_symlink(folder.path() / "made.txt", folder.path() / "linked.pdd.lock");
    EXPECT_NE(message({measured, "--emax", "3", "--out", (folder.path() / "linked.pdd").string()})
                  .find("has a link at its lock file linked.pdd.lock"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "made.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "busy.pdd"));
#endif

    // A curve that never falls to 10 %: the message names the measured file, not a description.
    EXPECT_EQ(message({measured, "--emax", "3", "--histories", "100", "--fixed-emax"}),
              "flat.csv: the dose never falls to 10 % of its maximum: no R10 to fit up to");
}

}  // namespace
