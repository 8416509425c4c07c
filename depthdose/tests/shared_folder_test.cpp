// Runs that share a work folder: two runs on the same result names, a run stopped beside another,
// a run killed outright, and links planted at the names a run writes or locks.
#include "engine/electron_data.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#include <csignal>
#endif

#include <string>
#include <vector>

namespace {

using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

const std::filesystem::path GOLDEN_DIR(DEPTHDOSE_GOLDEN_DIR);
constexpr const char* RESULT = "9MeV-9.0_8.0-2.0.pdd";
constexpr const char* FLUENCE = "9MeV-9.0_8.0-2.0.spct";
constexpr const char* ENDLESS = "2000000000.";  // stopped long before it could end
constexpr double PATIENCE_S = 30.0;

#ifndef _WIN32

void prepareRun(const std::filesystem::path& folder, const std::string& historyCount, const std::string& result,
                const std::string& fluence) {
    engine::saveElectronData(folder / "ELDAT.dat", testing_support::gaussianWidthTable());
    testing_support::writeRunFile(folder, " 9.0", historyCount, result, fluence);
    testing_support::writeBetaSpectrum(folder, 8.0, 2.0);
}

// Names in the folder that end in `ending`.
std::vector<std::string> namesEndingIn(const std::filesystem::path& folder, const std::string& ending) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().ends_with(ending)) names.push_back(entry.path().filename().string());
    return names;
}

// Starts Tolvane in `folder` and waits until its histories run (its result files are then locked
// and their temporary files made). Returns the process id.
int startRunning(const std::filesystem::path& folder, const std::string& prefix) {
    const int child = testing_support::startProgram(TOLVANE_PROGRAM, folder, prefix);
    EXPECT_GT(child, 0);
    EXPECT_TRUE(testing_support::waitForText(folder / (prefix + "stdout.txt"), "Wait a long time", PATIENCE_S));
    return child;
}

TEST(SharedFolder, ASecondRunOnTheSameNamesIsRefusedAndAStopCostsTheOtherRunNothing) {
    TempFolder folder("shared-folder");
    const auto& dir = folder.path();
    prepareRun(dir, ENDLESS, RESULT, FLUENCE);
    writeFile(dir / RESULT, "old depth dose\r\n");
    writeFile(dir / FLUENCE, "old fluence\r\n");
    const int first = startRunning(dir, "first-");
    ASSERT_EQ(namesEndingIn(dir, ".part").size(), 3u);  // the depth dose, its uncertainty and the fluence
    ASSERT_EQ(namesEndingIn(dir, ".lock").size(), 3u);

    // The same names: refused before the first history, naming the file, touching nothing.
    testing_support::writeRunFile(dir, " 9.0", "20000.", RESULT, FLUENCE);
    EXPECT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, dir), 1);
    const std::string refusal = readFile(dir / "stderr.txt");
    EXPECT_NE(refusal.find("\"9MeV-9.0_8.0-2.0.spct\" is being written by another run"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("no result file was written"), std::string::npos) << refusal;
    EXPECT_EQ(readFile(dir / "stdout.txt").find("<<< Monte Carlo Simulation >>>"), std::string::npos);
    EXPECT_EQ(namesEndingIn(dir, ".part").size(), 3u);  // the first run's temporary files stay

    // Other names in the same folder run beside it, and a stop of the first costs them nothing.
    testing_support::writeRunFile(dir, " 9.0", "20000.", "beside.pdd", "beside.spct");
    ASSERT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, dir), 0) << readFile(dir / "stderr.txt");
    kill(first, SIGTERM);
    EXPECT_EQ(testing_support::waitForProgram(first), 128 + SIGTERM);
    EXPECT_EQ(readFile(dir / "beside.pdd"), readFile(GOLDEN_DIR / "small_run.pdd"));
    EXPECT_EQ(readFile(dir / RESULT), "old depth dose\r\n");
    EXPECT_EQ(readFile(dir / FLUENCE), "old fluence\r\n");
    EXPECT_TRUE(namesEndingIn(dir, ".part").empty());
    EXPECT_TRUE(namesEndingIn(dir, ".lock").empty());

    // Once the first run has ended, the same names run in turn.
    testing_support::writeRunFile(dir, " 9.0", "20000.", RESULT, FLUENCE);
    ASSERT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, dir), 0) << readFile(dir / "stderr.txt");
    EXPECT_EQ(readFile(dir / RESULT), readFile(GOLDEN_DIR / "small_run.pdd"));
    EXPECT_EQ(readFile(dir / FLUENCE), readFile(GOLDEN_DIR / "small_run.spct"));
}

TEST(SharedFolder, TheLockOfAKilledRunIsTakenOverAndItsLeftoversAreNotTouched) {
    TempFolder folder("shared-killed");
    const auto& dir = folder.path();
    prepareRun(dir, ENDLESS, RESULT, FLUENCE);
    const int killed = startRunning(dir, "killed-");
    kill(killed, SIGKILL);  // no handler runs: its lock files and temporary files stay behind
    EXPECT_EQ(testing_support::waitForProgram(killed), 128 + SIGKILL);
    const std::vector<std::string> leftovers = namesEndingIn(dir, ".part");
    ASSERT_EQ(leftovers.size(), 3u);
    ASSERT_EQ(namesEndingIn(dir, ".lock").size(), 3u);

    testing_support::writeRunFile(dir, " 9.0", "20000.", RESULT, FLUENCE);
    ASSERT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, dir), 0) << readFile(dir / "stderr.txt");
    EXPECT_EQ(readFile(dir / RESULT), readFile(GOLDEN_DIR / "small_run.pdd"));
    EXPECT_EQ(readFile(dir / FLUENCE), readFile(GOLDEN_DIR / "small_run.spct"));
    EXPECT_TRUE(namesEndingIn(dir, ".lock").empty());
    EXPECT_EQ(namesEndingIn(dir, ".part"), leftovers);  // not this run's to remove
}

TEST(SharedFolder, LinksAtTheNamesARunWritesOrLocksAreNeverFollowed) {
    TempFolder folder("shared-links");
    const auto& dir = folder.path();
    prepareRun(dir, "20000.", RESULT, FLUENCE);
    std::filesystem::create_directory(dir / "elsewhere");
    const auto victim = dir / "elsewhere" / "victim.txt";
    writeFile(victim, "not the run's\r\n");
    writeFile(dir / RESULT, "old depth dose\r\n");
    writeFile(dir / FLUENCE, "old fluence\r\n");

    // A link at a lock name, to a file and to nowhere: refused, and nothing written or made there.
    std::filesystem::create_symlink(dir / "elsewhere" / "made.txt", dir / (std::string(FLUENCE) + ".lock"));
    EXPECT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, dir), 1);
    const std::string refusal = readFile(dir / "stderr.txt");
    EXPECT_NE(refusal.find("has a link at its lock file 9MeV-9.0_8.0-2.0.spct.lock"), std::string::npos) << refusal;
    testing_support::writeRunFile(dir, " 9.0", "20000.", "other.pdd", FLUENCE);
    std::filesystem::remove(dir / (std::string(FLUENCE) + ".lock"));
    std::filesystem::create_symlink(victim, dir / "other.pdd.lock");
    EXPECT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, dir), 1);
    EXPECT_NE(readFile(dir / "stderr.txt").find("other.pdd.lock"), std::string::npos);
    EXPECT_EQ(readFile(victim), "not the run's\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere" / "made.txt"));
    EXPECT_EQ(readFile(dir / RESULT), "old depth dose\r\n");
    EXPECT_EQ(readFile(dir / FLUENCE), "old fluence\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "other.pdd.lock"));  // not the run's to remove
    EXPECT_TRUE(namesEndingIn(dir, ".part").empty());

    // Links at the old fixed temporary names and at a result itself: the run writes its own files
    // and the link at the result is replaced, not written through.
    std::filesystem::remove(dir / "other.pdd.lock");
    std::filesystem::create_symlink(victim, dir / (std::string(RESULT) + ".part"));
    std::filesystem::create_symlink(dir / "elsewhere" / "made.txt", dir / (std::string(FLUENCE) + ".part"));
    std::filesystem::remove(dir / RESULT);
    std::filesystem::create_symlink(victim, dir / RESULT);
    testing_support::writeRunFile(dir, " 9.0", "20000.", RESULT, FLUENCE);
    ASSERT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, dir), 0) << readFile(dir / "stderr.txt");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / RESULT));
    EXPECT_EQ(readFile(dir / RESULT), readFile(GOLDEN_DIR / "small_run.pdd"));
    EXPECT_EQ(readFile(victim), "not the run's\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere" / "made.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / (std::string(RESULT) + ".part")));
}

#endif

}  // namespace
