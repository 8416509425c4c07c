#include "engine/result_file.h"

#include "engine/result_lock.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "engine/stop_request.h"
#include "engine/temporary_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace engine;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

const NameOrigin ORIGIN{"Nimbrola.dat", 3, "the result file"};

// The message of the RunError that constructing a result of this name throws; empty when none.
std::string refusal(const std::filesystem::path& folder, const std::string& name) {
    try {
        ResultFile result(folder, name, ORIGIN, runInputFiles(folder));
    } catch (const RunError& error) {
        EXPECT_EQ(error.lineNumber(), 3) << name;
        return error.what();
    }
    return {};
}

TEST(ResultFile, NamesThatCannotTakeAResultAreRefusedBeforeAnythingIsWritten) {
    TempFolder folder("result-names");
    for (const char* input : {"ELDAT.dat", "Nimbrola.dat", "Nimbrola.txt"}) writeFile(folder.path() / input, input);
    std::filesystem::create_directory(folder.path() / "a-folder");
    std::filesystem::create_symlink(folder.path() / "a-folder" / "made.lock", folder.path() / "blocked.elk.lock");
    writeFile(folder.path() / "blocked.elk", "old result\r\n");

    const struct {
        const char* name;
        const char* reason;
    } refused[] = {
        {"   ", "is blank"},
        {".", "names a folder"},
        {"..", "names a folder"},
        {"a-folder/", "names a folder"},
        {"a-folder", "is a folder"},
        {"no-such-folder/x.elk", "folder that does not exist"},
        {"ELDAT.dat", "is the input file ELDAT.dat"},
        {"./Nimbrola.txt", "is the input file Nimbrola.txt"},
        {"a-folder/../Nimbrola.dat", "is the input file Nimbrola.dat"},
        {"blocked.elk", "has a link at its lock file blocked.elk.lock"},
        {"x.pdd.part", "ends in the temporary files' .part"},
    };
    for (const auto& r : refused) {
        const std::string message = refusal(folder.path(), r.name);
        EXPECT_NE(message.find(r.reason), std::string::npos) << r.name << ": " << message;
        EXPECT_EQ(message.substr(0, 22), "Nimbrola.dat, line 3: ") << message;
    }
    for (const char* input : {"ELDAT.dat", "Nimbrola.dat", "Nimbrola.txt"})
        EXPECT_EQ(readFile(folder.path() / input), input);
    EXPECT_EQ(readFile(folder.path() / "blocked.elk"), "old result\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "a-folder" / "made.lock"));
    EXPECT_EQ(refusal(folder.path(), "a-folder/inside.elk"), "");  // a name in an existing folder is fine
}

// The system reads a name up to its first NUL byte. A result name from a damaged run file that holds
// one must not lock, replace or remove the earlier result named by the part before it.
TEST(ResultFile, ANameHoldingANulByteTouchesNoFileOfTheNameBeforeIt) {
    TempFolder folder("result-nul");
    writeFile(folder.path() / "9MeV.elk", "an earlier result\r\n");
    const std::string name("9MeV.elk\0", 9);
    const std::string message = refusal(folder.path(), name);
    EXPECT_NE(message.find("\"9MeV.elk\\0\" holds a NUL byte"), std::string::npos) << message;
    EXPECT_EQ(message.find('\0'), std::string::npos);
    const std::filesystem::path target = folder.path() / name;
    EXPECT_THROW(TemporaryFile{target}, std::system_error);
    EXPECT_THROW(ResultLock{target}, LockRefused);
    EXPECT_THROW(ResultLock{folder.path() / std::string("9MeV\0.elk", 9)}, LockRefused);
    EXPECT_THROW(writeFileAtomically(target, "new"), RunError);
    EXPECT_EQ(readFile(folder.path() / "9MeV.elk"), "an earlier result\r\n");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"9MeV.elk"});
}

TEST(ResultFile, WrittenUnderItsTemporaryNameAndRenamedOnlyOnCommit) {
    TempFolder folder("result-commit");
    const auto target = folder.path() / "run.pdd";
    std::filesystem::path temporary;
    writeFile(target, "old result\r\n");
    {
        ResultFile result(folder.path(), "run.pdd", ORIGIN, {});
        temporary = result.temporaryPath();
        EXPECT_TRUE(std::filesystem::exists(temporary));  // created at once: the folder takes files
        result.write("new result\r\n");
        EXPECT_EQ(readFile(target), "old result\r\n");
    }  // never committed: a failed run
    EXPECT_EQ(readFile(target), "old result\r\n");
    EXPECT_FALSE(std::filesystem::exists(temporary));

    ResultFile result(folder.path(), "run.pdd", ORIGIN, {});
    ResultFile fluence(folder.path(), "run.spct", {"Nimbrola.dat", 4, "the fluence file"}, {});
    temporary = result.temporaryPath();
    result.write("new result\r\n");
    fluence.write("fluence\r\n");
    ResultFile* const both[] = {&result, &fluence};
    commitAll(both);
    EXPECT_EQ(readFile(target), "new result\r\n");
    EXPECT_EQ(readFile(folder.path() / "run.spct"), "fluence\r\n");
    EXPECT_FALSE(std::filesystem::exists(temporary));

    ResultFile same(folder.path(), "./run.pdd", {"Nimbrola.dat", 4, "the fluence file"}, {});
    EXPECT_THROW(checkDistinct(result, same), RunError);
}

TEST(ResultFile, ARenameThatFailsSaysWhichFilesAreInPlace) {
    TempFolder folder("result-half");
    ResultFile result(folder.path(), "run.pdd", ORIGIN, {});
    ResultFile fluence(folder.path(), "run.spct", {"Nimbrola.dat", 4, "the fluence file"}, {});
    result.write("new result\r\n");
    fluence.write("fluence\r\n");
    std::filesystem::create_directories(folder.path() / "run.spct" / "inside");  // put in the way meanwhile
    ResultFile* const both[] = {&result, &fluence};
    try {
        commitAll(both);
        FAIL() << "committed onto a folder";
    } catch (const RunError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("\"run.spct\" could not be renamed into place"), std::string::npos) << message;
        EXPECT_NE(message.find("run.pdd was written, run.spct not."), std::string::npos) << message;
        EXPECT_EQ(message.find("no result file was written"), std::string::npos) << message;
    }
    EXPECT_EQ(readFile(folder.path() / "run.pdd"), "new result\r\n");
}

#ifndef _WIN32
TEST(StopRequest, ASignalDuringTheRenamesWaitsUntilTheyAreDone) {
    clearStopRequest();
    {
        const StopOnSignals stopOnSignals;
        {
            const DeferStopSignals deferred;
            std::raise(SIGTERM);
            std::raise(SIGINT);
            EXPECT_FALSE(stopRequested());  // held back while the files are renamed
        }
        EXPECT_TRUE(stopRequested());  // and noted as soon as they are
    }
    clearStopRequest();
}
#endif

TEST(AtomicWrite, ReplacesWholeOrLeavesTheOldFile) {
    TempFolder folder("atomic");
    const auto target = folder.path() / "result.elk";
    writeFileAtomically(target, "first\r\n");
    writeFileAtomically(target, "second\r\n");
    EXPECT_EQ(readFile(target), "second\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "result.elk.part"));

    EXPECT_THROW(writeFileAtomically(folder.path() / "no-such-folder" / "x.elk", "data"), RunError);
    const auto occupied = folder.path() / "occupied";
    std::filesystem::create_directories(occupied / "inside");
    EXPECT_THROW(writeFileAtomically(occupied, "data"), RunError);
    EXPECT_TRUE(std::filesystem::is_directory(occupied / "inside"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "occupied.part"));
}

TEST(StopRequest, ASignalIsNotedAndTheHistoryLoopEndsWithRunStopped) {
    clearStopRequest();
    {
        const StopOnSignals stopOnSignals;
        std::raise(SIGTERM);  // noted, not fatal, while the handlers are installed
        EXPECT_TRUE(stopRequested());
        EXPECT_EQ(stopSignal(), SIGTERM);
    }
    clearStopRequest();

    Spectrum spectrum;
    spectrum.relativeEnergy.fill(0.5f);
    spectrum.binWeight[49] = 1.0f;
    normaliseSpectrum(spectrum, 9.0f);
    struct CountingScorer {
        int steps = 0;
        void depositStep(const Point&, const Point&, float) { ++steps; }
    } scorer;
    LaggedGenerator generator;
    generator.seed();
    const ElectronData table = testing_support::straightTable();
    auto run = [&] {
        runSpectrum(
            spectrum, historiesPerBin(spectrum, 1000.0f), table, generator, scorer,
            [](float energyKeV, auto&) { return narrowBeamStart(energyKeV); }, NeverLeaves{});
    };
    requestStop(SIGINT);
    try {
        run();
        FAIL();
    } catch (const RunStopped& stopped) {
        EXPECT_EQ(stopped.signalNumber(), SIGINT);
        EXPECT_NE(std::string(stopped.what()).find("SIGINT"), std::string::npos);
    }
    EXPECT_EQ(scorer.steps, 0);
    clearStopRequest();
    run();
    EXPECT_GT(scorer.steps, 1000);
}

}  // namespace
