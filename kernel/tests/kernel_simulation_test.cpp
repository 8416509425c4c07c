#include "kernel/kernel_simulation.h"

#include "engine/record_io.h"
#include "engine/run_error.h"
#include "test_support.h"
#include "testsupport/golden.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

using namespace engine;
using testing_support::readFile;
using testing_support::splitRecords;
using testing_support::TempFolder;

const std::filesystem::path GOLDEN = std::filesystem::path(KERNEL_GOLDEN_DIR) / "small_run.elk";
constexpr const char* RESULT = "9MeV-9.0_8.0-2.0.elk";

// The small run of the golden file: Gaussian-width table, Beta(8, 2) spectrum at 9 MeV, 2000 histories.
void prepareSmallRun(const std::filesystem::path& folder, const std::string& historyCount = "2000.") {
    saveElectronData(folder / "ELDAT.dat", testing_support::gaussianWidthTable());
    testing_support::writeRunFile(folder, " 9.0", historyCount, RESULT);
    testing_support::writeBetaSpectrum(folder, 8.0, 2.0);
}

std::string runInProcess(const std::filesystem::path& folder, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out;
    Console console(in, out, false);
    kernel::runKernelSimulation(folder, console);
    return out.str();
}

TEST(KernelRun, SmallRunMatchesTheGoldenFileAndItsLayout) {
    TempFolder folder("kernel-run");
    prepareSmallRun(folder.path());
    const std::string console = runInProcess(folder.path());
    const std::string result = readFile(folder.path() / RESULT);
    testsupport::expectGolden(result, GOLDEN);

    const auto lines = splitRecords(console);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[2], "   Monte Carlo Simulation  --- Brisella ---");
    EXPECT_EQ(lines[5], "  <<< Monte Carlo Simulation >>>");
    EXPECT_EQ(lines[6].substr(0, 14), "  Start time =");
    EXPECT_EQ(lines[7], "     ***  Wait a long time  ***");
    EXPECT_EQ(lines[8].substr(0, 15), "  Finish time =");
    EXPECT_EQ(lines[10], "     --- hit RET key ---");
    EXPECT_EQ(lines[11], "Stop - Program terminated.");

    const auto records = splitRecords(result);
    ASSERT_EQ(records.size(), 127u);
    EXPECT_EQ(records[0], "  9.00 MeV \x83\xbf=8.0" + std::string(14, ' ') + "\x83\xc0=2.0" + std::string(14, ' '));
    EXPECT_EQ(records[1], "      2000.");
    double total = 0.0;
    for (int j = 1; j <= 125; ++j) {
        const std::string& row = records[static_cast<std::size_t>(j + 1)];
        ASSERT_EQ(row.size(), 755u);
        float label = 0.0f;
        ASSERT_TRUE(parseRealField(row.substr(0, 5), 0, label));
        EXPECT_EQ(label, static_cast<float>(j - 15));
        for (int i = 0; i < 75; ++i) {
            float cell = -1.0f;
            ASSERT_TRUE(parseRealField(row.substr(5 + 10 * static_cast<std::size_t>(i), 10), 3, cell));
            ASSERT_GE(cell, 0.0f);
            total += static_cast<double>(cell);
        }
    }
    // Almost all of the requested energy lands in the grid (truncated counts, rounding of 3 digits).
    EXPECT_GT(total, 0.9);
    EXPECT_LT(total, 1.01);
    EXPECT_NE(records[17].substr(5, 10), " 0.000E+00");  // label 1: the first millimetre on the axis
}

TEST(KernelRun, ExecutableInAFolderWritesTheSameFileTwice) {
    TempFolder folder("kernel-exe");
    prepareSmallRun(folder.path());
    ASSERT_EQ(testing_support::runProgram(BRISELLA_PROGRAM, folder.path()), 0);
    const std::string first = readFile(folder.path() / RESULT);
    EXPECT_EQ(first, readFile(GOLDEN));
    const std::string console = readFile(folder.path() / "stdout.txt");
    EXPECT_EQ(console.substr(console.size() - 28), "Stop - Program terminated.\r\n");
    std::filesystem::remove(folder.path() / RESULT);
    ASSERT_EQ(testing_support::runProgram(BRISELLA_PROGRAM, folder.path(), "\n"), 0);
    EXPECT_EQ(readFile(folder.path() / RESULT), first);
}

TEST(KernelRun, BadInputStopsBeforeAnyHistoryAndKeepsTheOldResult) {
    TempFolder folder("kernel-bad");
    prepareSmallRun(folder.path());
    testing_support::writeFile(folder.path() / RESULT, "old result\r\n");

    std::filesystem::rename(folder.path() / "ELDAT.dat", folder.path() / "ELDAT.keep");
    EXPECT_NE(testing_support::runProgram(BRISELLA_PROGRAM, folder.path()), 0);
    EXPECT_NE(readFile(folder.path() / "stderr.txt").find("ELDAT.dat"), std::string::npos);
    std::filesystem::rename(folder.path() / "ELDAT.keep", folder.path() / "ELDAT.dat");

    const std::string spectrum = readFile(folder.path() / "Nimbrola.txt");
    testing_support::writeFile(folder.path() / "Nimbrola.txt", spectrum.substr(0, spectrum.size() / 2));
    EXPECT_NE(testing_support::runProgram(BRISELLA_PROGRAM, folder.path()), 0);
    const std::string message = readFile(folder.path() / "stderr.txt");
    EXPECT_NE(message.find("Nimbrola.txt, line "), std::string::npos) << message;
    EXPECT_EQ(readFile(folder.path() / "stdout.txt").find("<<< Monte Carlo Simulation >>>"), std::string::npos);

    testing_support::writeFile(folder.path() / "Nimbrola.txt", "a\r\nb\r\n");
    std::string floored = "a\r\nb\r\n";
    for (int i = 1; i <= 100; ++i) floored += testing_support::spectrumLine(i / 100.0, 0.0009) + "\r\n";
    testing_support::writeFile(folder.path() / "Nimbrola.txt", floored);
    EXPECT_NE(testing_support::runProgram(BRISELLA_PROGRAM, folder.path()), 0);
    EXPECT_NE(readFile(folder.path() / "stderr.txt").find("below 0.001"), std::string::npos);

    EXPECT_EQ(readFile(folder.path() / RESULT), "old result\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / (std::string(RESULT) + ".part")));
}

TEST(KernelRun, ARunThatSimulatesNothingIsRefusedAndABlankNameIsAskedBeforeTheHistories) {
    TempFolder folder("kernel-zero");
    for (const char* count : {"0.", "-1.", "-2000.", "1e-400"}) {
        prepareSmallRun(folder.path(), count);
        testing_support::writeFile(folder.path() / RESULT, "old result\r\n");
        try {
            runInProcess(folder.path());
            FAIL() << count << " was run";
        } catch (const RunError& error) {
            EXPECT_NE(std::string(error.what()).find("Nimbrola.dat, line 2: the history count"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(readFile(folder.path() / RESULT), "old result\r\n");
    }

    testing_support::writeRunFile(folder.path(), " 9.0", "20.", "   ");
    testing_support::writeSingleBinSpectrum(folder.path());  // 20 histories, all at 9 MeV
    try {
        runInProcess(folder.path(), "");  // no console answer: stop, nothing written
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(std::string(error.what()).substr(0, 21), "Nimbrola.dat, line 3:") << error.what();
    }
    const std::string asked = runInProcess(folder.path(), "\nasked.elk\n\n");
    const std::size_t question = asked.find("File name missing or blank - please enter file name\r\nUNIT 1? ");
    ASSERT_NE(question, std::string::npos);
    EXPECT_LT(question, asked.find("<<< Monte Carlo Simulation >>>"));  // asked before the histories
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "asked.elk"));
}

TEST(KernelRun, AResultThatCannotBeWrittenOrNamesAnInputStopsBeforeTheHistories) {
    TempFolder folder("kernel-names");
    prepareSmallRun(folder.path());
    const std::string table = readFile(folder.path() / "ELDAT.dat");
    std::filesystem::create_directory(folder.path() / "a-folder.elk");
    for (const char* name : {"ELDAT.dat", "Nimbrola.txt", "a-folder.elk", "missing/x.elk", "..", "."}) {
        testing_support::writeRunFile(folder.path(), " 9.0", "2000.", name);
        try {
            runInProcess(folder.path());
            FAIL() << name;
        } catch (const RunError& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, 22), "Nimbrola.dat, line 3: ") << error.what();
        }
    }
    EXPECT_EQ(readFile(folder.path() / "ELDAT.dat"), table);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "a-folder.elk"));
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

#ifndef _WIN32
TEST(KernelRun, SigtermDuringTheHistoriesKeepsThePreviousResult) {
    TempFolder folder("kernel-sigterm");
    prepareSmallRun(folder.path(), "200000000.");  // minutes of work: it is stopped long before
    testing_support::writeFile(folder.path() / RESULT, "old result\r\n");
    const int child = testing_support::startProgram(BRISELLA_PROGRAM, folder.path());
    ASSERT_GT(child, 0);
    ASSERT_TRUE(testing_support::waitForText(folder.path() / "stdout.txt", "Wait a long time", 20.0));
    kill(child, SIGTERM);
    EXPECT_EQ(testing_support::waitForProgram(child), 128 + SIGTERM);
    EXPECT_EQ(readFile(folder.path() / RESULT), "old result\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / (std::string(RESULT) + ".part")));
    const std::string message = readFile(folder.path() / "stderr.txt");
    EXPECT_NE(message.find("stopped (SIGTERM); " + std::string(RESULT)), std::string::npos) << message;
}
#endif

TEST(KernelRun, ASingleBinRunsOnlyItsHistoriesAtOneEnergy) {
    Spectrum spectrum;
    spectrum.binWeight[41] = 1.0f;
    normaliseSpectrum(spectrum, 9.0f);
    spectrum.binEnergyKeV[41] = 4000.0f;
    const HistoryCounts counts = historiesPerBin(spectrum, 37.0f);
    std::vector<float> startEnergies;
    struct NoScore {
        void depositStep(const Point&, const Point&, float) {}
    } scorer;
    LaggedGenerator generator;
    generator.seed();
    runSpectrum(
        spectrum, counts, testing_support::straightTable(), generator, scorer,
        [&](float energyKeV, auto&) {
            startEnergies.push_back(energyKeV);
            return narrowBeamStart(energyKeV);
        },
        NeverLeaves{});
    EXPECT_EQ(startEnergies, std::vector<float>(37, 4000.0f));
}

}  // namespace
