// Name composition, the spectrum cursor, the launch sequence and the program search.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "beamdata/exchange_files.h"
#include "beamdata/number_pattern.h"
#include "common/program_search.h"
#include "common/setup_logic.h"
#include "engine/run_frame.h"
#include "testdoubles/recorders.h"
#include "testsupport/test_folder.h"

namespace orvalis {
namespace {

using orvalis::testing::RecordingLauncher;
using orvalis::testing::RecordingMessages;
using testsupport::TestFolder;

// A name as the simulators hold it: in a 30-character field, blank-padded.
std::string padded(std::string name) {
    name.resize(30, ' ');
    return name;
}

TEST(FileName, ComposesTheBoxTextsAsTheyStand) {
    EXPECT_EQ(composeFileName("9", "9.0", "8.0", "2.0"), "9MeV-9.0_8.0-2.0");
    EXPECT_EQ(composeFileName("9", "9.0", "8", "2"), "9MeV-9.0_8-2");
    EXPECT_EQ(composeFileName("", " 12.25", "x", ""), "MeV- 12.25_x-");
}

TEST(SpectrumCursor, ReadsTheGridPointAtOrLeftOfThePointer) {
    SpectrumArray density{};
    SpectrumArray relative{};
    ASSERT_EQ(beamdata::updateSpectrum(8.0, 2.0, density, relative), beamdata::SpectrumUpdate::Completed);
    const SpectrumCursor c = spectrumCursor(576.0, 500.0, relative);
    ASSERT_TRUE(c.shown);
    EXPECT_EQ(c.xText, "0.58");
    EXPECT_DOUBLE_EQ(c.x, 576.0);
    EXPECT_DOUBLE_EQ(c.y, 1000.0 * relative[57]);
    EXPECT_EQ(c.valueText, beamdata::formatNumber(relative[57], "0.000"));
    EXPECT_NE(relative[57], relative[58]);

    const SpectrumCursor top = spectrumCursor(875.0, 10.0, relative);
    EXPECT_EQ(top.valueText, "1.000");
    EXPECT_DOUBLE_EQ(top.y, 1000.0);
    EXPECT_EQ(spectrumCursor(1.5, 1.5, relative).xText, "0.00");
    EXPECT_EQ(spectrumCursor(997.9, 500.0, relative).valueText, beamdata::formatNumber(relative[99], "0.000"));
}

TEST(ScrollBars, FittedParametersGoToTheNearestStepOnTheBar) {
    EXPECT_EQ(scrollBarValue(8.0), 80);
    EXPECT_EQ(scrollBarValue(2.35), 24);
    EXPECT_EQ(scrollBarValue(0.01), 1);
    EXPECT_EQ(scrollBarValue(25.0), 200);
}

TEST(SpectrumCursor, HiddenWithinOneUnitOfAnEdge) {
    const SpectrumArray flat{};
    for (const auto& [x, y] :
         {std::pair{998.0, 500.0}, {1200.0, 500.0}, {500.0, 998.0}, {1.0, 500.0}, {500.0, 1.0}, {-5.0, -5.0}}) {
        const SpectrumCursor c = spectrumCursor(x, y, flat);
        EXPECT_FALSE(c.shown) << x << ", " << y;
        EXPECT_TRUE(c.xText.empty());
        EXPECT_TRUE(c.valueText.empty());
    }
}

class Launch : public ::testing::Test {
protected:
    Launch() {
        SpectrumArray density{};
        beamdata::updateSpectrum(8.0, 2.0, density, relativeWeight);
        request.maxEnergyText = "9.0";
        request.historyText = "10000000";
        request.fileNameText = "9MeV-9.0_8.0-2.0";
        request.alphaText = "8.0";
        request.betaText = "2.0";
    }
    SpectrumArray relativeWeight{};
    LaunchRequest request;
    RecordingMessages messages;
    RecordingLauncher launcher;
    TestFolder folder;
};

// The launch against the simulators' own reader of the exchange files (the bytes are the writer's,
// pinned in its tests).
TEST_F(Launch, WritesBothFilesThenStartsTheSimulatorThatReadsThem) {
    bool filesThereBeforeStart = false;
    EXPECT_TRUE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher, [&] {
        filesThereBeforeStart = std::filesystem::exists(folder.path() / "Nimbrola.dat") &&
                                std::filesystem::exists(folder.path() / "Nimbrola.txt");
    }));
    EXPECT_TRUE(filesThereBeforeStart);
    ASSERT_EQ(launcher.programs, std::vector<std::string>{"Tolvane"});
    EXPECT_EQ(launcher.folders[0], folder.path());
    EXPECT_TRUE(messages.warnings.empty());
    const engine::RunFile run = engine::readRunFile(folder.path() / "Nimbrola.dat", engine::RunKind::DepthDose);
    EXPECT_EQ(run.maxEnergyMeV, 9.0f);
    EXPECT_EQ(run.historyCount, 1e7f);
    EXPECT_EQ(run.resultFileName, padded("9MeV-9.0_8.0-2.0.pdd"));
    EXPECT_EQ(run.fluenceFileName, padded("9MeV-9.0_8.0-2.0.spct"));
    engine::Spectrum spectrum = engine::readSpectrumFile(folder.path() / "Nimbrola.txt");
    EXPECT_EQ(spectrum.titleLine1, padded("\x83\xBF=8.0"));
    EXPECT_EQ(spectrum.titleLine2, padded("\x83\xC0=2.0"));
    EXPECT_FLOAT_EQ(spectrum.relativeEnergy[49], 0.5f);
    EXPECT_FLOAT_EQ(spectrum.binWeight[49], 0.07965f);  // written with four digits
    EXPECT_EQ(spectrum.binWeight[86], 1.0f);
    EXPECT_EQ(spectrum.binWeight[99], 0.0f);

    request.kind = CalculationKind::Kernel;
    request.historyText = "1000000";
    request.alphaText = "0.5";  // typed into the box: the title follows the text, the lines the arrays
    EXPECT_TRUE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher));
    EXPECT_EQ(launcher.programs.back(), "Brisella");
    const engine::RunFile kernel = engine::readRunFile(folder.path() / "Nimbrola.dat", engine::RunKind::Kernel);
    EXPECT_EQ(kernel.historyCount, 1e6f);
    EXPECT_EQ(kernel.resultFileName, padded("9MeV-9.0_8.0-2.0.elk"));
    spectrum = engine::readSpectrumFile(folder.path() / "Nimbrola.txt");
    EXPECT_EQ(spectrum.titleLine1, padded("\x83\xBF=.5"));
    EXPECT_EQ(spectrum.binWeight[86], 1.0f);
}

TEST_F(Launch, UnwritableFileIsReportedAndNothingStarts) {
    std::filesystem::create_directory(folder.path() / "Nimbrola.dat");
    EXPECT_FALSE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher));
    EXPECT_TRUE(launcher.programs.empty());
    ASSERT_EQ(messages.warnings.size(), 1u);
    EXPECT_NE(messages.warnings[0].find("Nimbrola.dat"), std::string::npos);
}

TEST_F(Launch, MissingProgramIsReported) {
    launcher.succeed = false;
    EXPECT_FALSE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher));
    ASSERT_EQ(messages.warnings.size(), 1u);
    EXPECT_NE(messages.warnings[0].find("Tolvane"), std::string::npos);
}

TEST_F(Launch, RefusesCountsAndNamesTheSimulatorCouldNotUse) {
    for (const char* bad : {"", "1e7", "10 000", "-5", "abc"}) {
        request.historyText = bad;
        EXPECT_FALSE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher)) << bad;
    }
    request.historyText = "10000000";
    request.fileNameText = std::string(26, 'n');  // 26 + ".spct" would be cut to 30 characters
    EXPECT_FALSE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher));
    EXPECT_EQ(messages.warnings.size(), 6u);
    EXPECT_TRUE(launcher.programs.empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Nimbrola.dat"));
    request.fileNameText = std::string(25, 'n');  // fits exactly
    EXPECT_TRUE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher));
    request.kind = CalculationKind::Kernel;
    request.fileNameText = std::string(26, 'n');  // 26 + ".elk" fits a kernel run
    EXPECT_TRUE(launchCalculation(request, relativeWeight, folder.path(), messages, launcher));
}

// The window's limit is the simulators': around the limit and at the counts that run nothing,
// the window starts a run exactly when the simulators' reader takes the count it wrote.
TEST_F(Launch, RefusesExactlyTheHistoryCountsTheSimulatorsRefuse) {
    int refused = 0;
    for (const char* count : {"99999999999", "2147483648", "2147483647", "2147483584", "2147483583", "2147483520",
                              "2100000000", "0", "000", "1"}) {
        request.historyText = count;
        std::filesystem::remove(folder.path() / "Nimbrola.dat");
        const std::size_t warningsBefore = messages.warnings.size();
        const bool started = launchCalculation(request, relativeWeight, folder.path(), messages, launcher);
        bool simulatorTakesIt = true;
        try {
            // What the simulator reads for this count, written as the window writes it.
            beamdata::ExchangeContent content;
            content.historyText = count;
            content.maxEnergyMeV = 9.0;
            content.resultBaseName = "limit";
            const TestFolder other;
            { std::ofstream(other.path() / "Nimbrola.dat", std::ios::binary) << beamdata::runFileBytes(content); }
            const engine::RunFile run = engine::readRunFile(other.path() / "Nimbrola.dat", engine::RunKind::DepthDose);
            engine::Spectrum spectrum;
            spectrum.binWeight.fill(0.0f);
            spectrum.binWeight[99] = 1.0f;
            spectrum.binEnergyKeV.fill(9000.0f);
            const auto counts = engine::historiesPerBin(spectrum, run.historyCount);
            engine::checkRunSimulates(run, counts, engine::totalIncidentEnergy(spectrum, run.historyCount));
        } catch (const engine::RunError&) {
            simulatorTakesIt = false;
        }
        EXPECT_EQ(started, simulatorTakesIt) << count;
        if (!started) {
            ++refused;
            ASSERT_EQ(messages.warnings.size(), warningsBefore + 1) << count;
            EXPECT_NE(messages.warnings.back().find("2147483520"), std::string::npos) << messages.warnings.back();
            EXPECT_FALSE(std::filesystem::exists(folder.path() / "Nimbrola.dat")) << count;
        }
    }
    EXPECT_EQ(refused, 6);
}

TEST(ProgramSearch, FirstFolderWithAnExecutableWins) {
    TestFolder folder;
    namespace fs = std::filesystem;
    const fs::path own = folder.path() / "own";
    const fs::path current = folder.path() / "current";
    fs::create_directories(own);
    fs::create_directories(current);
    const auto makeProgram = [](const fs::path& file, bool executable) {
        std::ofstream(file) << "x";
        fs::permissions(file, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
    };
    EXPECT_FALSE(findExecutable("Tolvane", {own, current}).has_value());
    makeProgram(current / "Tolvane", true);
    EXPECT_EQ(findExecutable("Tolvane", {own, current}), current / "Tolvane");
    makeProgram(own / "Tolvane", true);
    EXPECT_EQ(findExecutable("Tolvane", {own, current}), own / "Tolvane");
#ifndef _WIN32
    makeProgram(own / "Tolvane", false);  // not executable: skipped
    EXPECT_EQ(findExecutable("Tolvane", {own, current}), current / "Tolvane");
#endif
    fs::create_directories(own / "Brisella");  // a folder is not a program
    EXPECT_FALSE(findExecutable("Brisella", {own}).has_value());
}

TEST(ProgramSearch, SplitsThePathAndBuildsTerminalArguments) {
#ifndef _WIN32
    const auto folders = splitSearchPath("/usr/bin::/bin:");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[1], std::filesystem::path("/bin"));
#endif
    const std::vector<std::string> command{"/bin/sh", "-c", "x"};
    EXPECT_EQ(terminalArguments("gnome-terminal", command), (std::vector<std::string>{"--", "/bin/sh", "-c", "x"}));
    EXPECT_EQ(terminalArguments("xterm", command), (std::vector<std::string>{"-e", "/bin/sh", "-c", "x"}));
    EXPECT_EQ(terminalArguments("xfce4-terminal", command), (std::vector<std::string>{"-x", "/bin/sh", "-c", "x"}));
    EXPECT_EQ(terminalCandidates().front(), "x-terminal-emulator");
    EXPECT_EQ(terminalCandidates().back(), "xterm");
}

}  // namespace
}  // namespace orvalis
