// The seam between orvalis-fit and the fit window: the real program, started with the arguments the
// window gives it, and every line it prints read by the window's own parsers.
#include "viewers/spectrum_fit_run.h"

#include "viewers/free_fit_run.h"

#include "testsupport/test_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

// Appends a word in single quotes for the shell (built by appending: GCC 12 warns falsely on some
// chains of string additions).
void appendQuoted(std::string& command, const std::string& word) {
    command.append(1, ' ').append(1, '\'').append(word).append(1, '\'');
}

// The real orvalis-fit in a fresh folder with the data files and the example measurement, started
// with the window's arguments for `request` and `extra`; its output in output.txt, errors in errors.txt.
int runTheFit(const testsupport::TestFolder& folder, const orvalis::viewers::FitRequest& request,
              const std::string& extra) {
    for (const char* name : {"ELDAT.dat", "water.csda"})
        std::filesystem::copy_file(std::filesystem::path(ORVALIS_DATA_DIR) / name, folder.path() / name);
    std::filesystem::copy_file(std::filesystem::path(ORVALIS_DATA_DIR) / "example-9MeV-simulated.csv",
                               folder.path() / "measured.csv");
    std::string command = "cd";
    appendQuoted(command, folder.path().string());
    command.append(" &&");
    appendQuoted(command, ORVALIS_FIT_PROGRAM);
    for (const std::string& argument : orvalis::viewers::fitArguments(request)) appendQuoted(command, argument);
    command.append(extra + " > output.txt 2> errors.txt");
    return std::system(command.c_str());
}

TEST(FitOutputContract, TheWindowReadsWhatTheFitPrints) {
    testsupport::TestFolder folder;
    orvalis::viewers::FitRequest request;
    request.measuredPath = "measured.csv";
    request.curvePath = "fitted.pdd";
    const int status = runTheFit(folder, request, " --histories 400 --no-cache");
#ifndef _WIN32
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << folder.read("errors.txt");
#else
    ASSERT_EQ(status, 0) << folder.read("errors.txt");
#endif

    std::istringstream lines(folder.read("output.txt"));
    int progressLines = 0;
    int lastPercent = 0;
    std::optional<orvalis::viewers::FittedSpectrum> fitted;
    int levels = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("PROGRESS", 0) == 0) {
            const auto percent = orvalis::viewers::fitProgressPercent(line);
            ASSERT_TRUE(percent.has_value()) << line;
            EXPECT_GE(*percent, lastPercent) << line;
            lastPercent = *percent;
            ++progressLines;
        } else if (const auto grid = orvalis::viewers::parseFitResult(line)) {
            fitted = grid;
        } else if (const auto level = orvalis::viewers::parseFitLevel(line)) {
            EXPECT_GT(level->measuredMm, 0.0) << line;
            EXPECT_NEAR(level->fittedMm, level->measuredMm, 3.0) << line;
            ++levels;
        } else if (line.rfind("RESULT", 0) == 0) {
            // The window takes the grid's parameters; the continuous optimum is for people.
            EXPECT_EQ(line.rfind("RESULT continuous ", 0), 0u) << "a RESULT line the window cannot read: " << line;
        }
    }
    EXPECT_GT(progressLines, 10);
    EXPECT_EQ(lastPercent, 100);
    ASSERT_TRUE(fitted.has_value());
    EXPECT_EQ(levels, 4);
    // The parameters come on the scroll bars' grid and the energy box's tenths.
    EXPECT_DOUBLE_EQ(fitted->alpha * 10.0, std::round(fitted->alpha * 10.0));
    EXPECT_DOUBLE_EQ(fitted->maxEnergyMeV * 10.0, std::round(fitted->maxEnergyMeV * 10.0));
    // The fitted curve file reads as the window reads a calculated curve.
    const auto points = orvalis::viewers::fittedCurvePoints(folder.read("fitted.pdd"));
    ASSERT_TRUE(points.has_value());
    EXPECT_EQ(points->size(), 100u);
}

TEST(FitOutputContract, TheWindowReadsTheFreeFormFitWithItsIntervalsAndBand) {
    testsupport::TestFolder folder;
    orvalis::viewers::FitRequest request;
    request.measuredPath = "measured.csv";
    request.model = orvalis::viewers::FitModel::Free;
    const int status = runTheFit(folder, request, " --histories 400 --no-cache --samples 40");
#ifndef _WIN32
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << folder.read("errors.txt");
#else
    ASSERT_EQ(status, 0) << folder.read("errors.txt");
#endif
    const std::string output = folder.read("output.txt");
    const auto view = orvalis::viewers::parseFreeFit(output);
    ASSERT_TRUE(view.has_value()) << output;
    EXPECT_EQ(view->result.summary.smoothBy, "evidence");
    EXPECT_TRUE(view->result.summary.noisePercent.has_value());
    ASSERT_EQ(view->result.intervals.size(), 6u) << output;
    for (const beamdata::IntervalReport& interval : view->result.intervals) {
        EXPECT_LE(interval.low, interval.value) << interval.quantity;
        EXPECT_GE(interval.high, interval.value) << interval.quantity;
    }
    ASSERT_TRUE(view->result.band.has_value());
    const std::string text = orvalis::viewers::freeFitFiguresText(view->result);
    EXPECT_NE(text.find("(95 %: "), std::string::npos) << text;
}

}  // namespace
