#include "depthdose/depthdose_simulation.h"

#include "beamdata/depth_dose_file.h"
#include "beamdata/fluence_file.h"
#include "engine/record_io.h"
#include "engine/run_error.h"
#include "test_support.h"
#include "testsupport/golden.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

using namespace engine;
using testing_support::readFile;
using testing_support::splitRecords;
using testing_support::TempFolder;

const std::filesystem::path GOLDEN_DIR(DEPTHDOSE_GOLDEN_DIR);
constexpr const char* RESULT = "9MeV-9.0_8.0-2.0.pdd";
constexpr const char* FLUENCE = "9MeV-9.0_8.0-2.0.spct";

void prepareSmallRun(const std::filesystem::path& folder, const std::string& historyCount = "20000.") {
    saveElectronData(folder / "ELDAT.dat", testing_support::gaussianWidthTable());
    testing_support::writeRunFile(folder, " 9.0", historyCount, RESULT, FLUENCE);
    testing_support::writeBetaSpectrum(folder, 8.0, 2.0);
}

std::string runInProcess(const std::filesystem::path& folder, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out;
    Console console(in, out, false);
    depthdose::runDepthDoseSimulation(folder, console);
    return out.str();
}

float field(const std::string& text, int digits) {
    float value = -1.0f;
    EXPECT_TRUE(parseRealField(text, digits, value)) << text;
    return value;
}

TEST(FieldSource, FirstPointAndDirectionPointAwayFromTheVirtualSource) {
    LaggedGenerator generator;
    generator.seed();
    const ElectronState start = depthdose::sampleFieldSource(9000.0f, generator);
    EXPECT_NEAR(start.position.x, -2.858f, 0.001f);
    EXPECT_NEAR(start.position.y, 6.514f, 0.001f);
    EXPECT_EQ(start.position.z, 1.5f);
    EXPECT_EQ(start.energyKeV, 9000.0f);
    const double norm = std::sqrt(
        static_cast<double>(start.position.x * start.position.x + start.position.y * start.position.y) + 10000.0);
    const Direction& d = start.direction;
    EXPECT_NEAR(static_cast<double>(d.sinTheta * d.cosPhi), static_cast<double>(start.position.x) / norm, 1e-6);
    EXPECT_NEAR(static_cast<double>(d.sinTheta * d.sinPhi), static_cast<double>(start.position.y) / norm, 1e-6);
    EXPECT_NEAR(static_cast<double>(d.cosTheta), 100.0 / norm, 1e-6);
    EXPECT_FALSE(start.pending.deflected);
    EXPECT_EQ(start.pending.cosChi, 1.0f);
    // Exactly two numbers were drawn: the next integers are the third and fourth after seeding.
    LaggedGenerator fresh;
    fresh.seed();
    fresh.nextInteger();
    fresh.nextInteger();
    EXPECT_EQ(generator.nextInteger(), fresh.nextInteger());
}

TEST(SurfaceRule, ABackscatteredElectronEndsAtItsNextStepButItsLastStepStillScores) {
    struct Recorder {
        std::vector<Point> starts;
        KernelGrid grid;
        void depositStep(const Point& a, const Point& b, float e) {
            starts.push_back(a);
            grid.depositStep(a, b, e);
        }
    } scorer;
    ElectronState state = narrowBeamStart(5000.0f);
    state.position.z = 1.52f;
    state.direction = Direction{-1.0f, 0.0f, 1.0f, 0.0f};  // heading back out of the water
    LaggedGenerator generator;
    generator.seed();
    runHistory(state, testing_support::straightTable(), generator, scorer, depthdose::LeavesThroughSurface{});
    ASSERT_EQ(scorer.starts.size(), 1u);  // the second step starts in front of the surface
    float inFront = 0.0f;
    for (int j = 1; j <= 15; ++j) inFront += scorer.grid.cell(j, 1);
    EXPECT_GT(inFront, 300.0f);  // most of the 415 keV step lies in front of z = 1.5
    EXPECT_GT(scorer.grid.cell(16, 1), 0.0f);
    EXPECT_TRUE(depthdose::LeavesThroughSurface{}(Point{0.0f, 0.0f, 1.4999999f}));
    EXPECT_FALSE(depthdose::LeavesThroughSurface{}(Point{0.0f, 0.0f, 1.5f}));
}

TEST(AxisDose, MaximumIsExactlyOneAndTiesBothReadOne) {
    KernelGrid grid;
    // Same radius and same depth: the whole energy goes to one cell.
    grid.depositStep({0.1f, 0.0f, 2.05f}, {0.0f, 0.1f, 2.05f}, 7.0f);   // depth bin 21, ring 2
    grid.depositStep({0.0f, 0.3f, 3.05f}, {0.3f, 0.0f, 3.05f}, 7.0f);   // depth bin 31, ring 4
    grid.depositStep({0.0f, 0.2f, 4.05f}, {0.2f, 0.0f, 4.05f}, 3.5f);   // depth bin 41, ring 3
    grid.depositStep({0.7f, 0.0f, 5.05f}, {0.0f, 0.7f, 5.05f}, 99.0f);  // ring 8: outside the counter
    grid.normalise(1000.0f);
    bool empty = true;
    const depthdose::AxisDose dose = depthdose::reduceToAxisDose(grid, empty);
    EXPECT_FALSE(empty);
    EXPECT_EQ(dose[20], 1.0f);
    EXPECT_EQ(dose[30], 1.0f);
    EXPECT_EQ(dose[40], 0.5f);
    EXPECT_EQ(dose[50], 0.0f);

    KernelGrid nothing;
    const depthdose::AxisDose zeros = depthdose::reduceToAxisDose(nothing, empty);
    EXPECT_TRUE(empty);
    for (float value : zeros) EXPECT_EQ(value, 0.0f);
}

TEST(DepthDoseFiles, FluenceOfTheDefaultSpectrumAndTheResultLayout) {
    TempFolder folder("fluence");
    testing_support::writeBetaSpectrum(folder.path(), 8.0, 2.0);
    Spectrum spectrum = readSpectrumFile(folder.path() / "Nimbrola.txt");
    normaliseSpectrum(spectrum, 9.0f);
    const auto lines = splitRecords(beamdata::fluenceFileText(toCharacterVariable(FLUENCE), spectrum));
    ASSERT_EQ(lines.size(), 102u);
    EXPECT_EQ(lines[0], toCharacterVariable(FLUENCE));
    EXPECT_EQ(lines[1], " [MeV] ,  Fluence");
    double weightSum = 0.0;
    int zeroBins = 0;
    for (int i = 1; i <= 100; ++i) {
        const std::string& line = lines[static_cast<std::size_t>(i + 1)];
        ASSERT_EQ(line.size(), 22u);
        EXPECT_EQ(line.substr(10, 2), ", ");
        EXPECT_NEAR(field(line.substr(0, 10), 4), 0.09f * static_cast<float>(i), 1e-4f);
        const float weight = field(line.substr(12), 4);
        weightSum += static_cast<double>(weight);
        zeroBins += weight == 0.0f ? 1 : 0;
    }
    EXPECT_EQ(lines[2], "0.9000E-01, 0.0000E+00");
    EXPECT_EQ(lines[101].substr(0, 10), "0.9000E+01");
    EXPECT_NEAR(weightSum, 1.0, 2e-3);
    EXPECT_GE(zeroBins, 2);  // the lowest bins fall below the floor; bin 100 has density 0

    depthdose::AxisDose dose{};
    dose[30] = 1.0f;
    RunFile run;
    run.maxEnergyMeV = 12.0f;
    run.historyCount = 100000.0f;
    spectrum.titleLine1 = toCharacterVariable("ABC");
    spectrum.titleLine2 = toCharacterVariable("DEF");
    const auto result = splitRecords(beamdata::depthDoseFileText(run, spectrum, dose));
    ASSERT_EQ(result.size(), 127u);
    EXPECT_EQ(result[0], " 12.00 MeV ABC" + std::string(17, ' ') + "DEF" + std::string(17, ' '));
    EXPECT_EQ(result[1], "    100000.");
    EXPECT_EQ(result[2], " -14. 0.000E+00");
    EXPECT_EQ(result[16], "   0. 0.000E+00");
    EXPECT_EQ(result[32], "  16. 0.100E+01");
    EXPECT_EQ(result[126], " 110. 0.000E+00");
}

TEST(DepthDoseRun, SmallRunMatchesTheGoldenFilesAndItsLayout) {
    TempFolder folder("depthdose-run");
    prepareSmallRun(folder.path());
    const std::string console = runInProcess(folder.path());
    const std::string result = readFile(folder.path() / RESULT);
    const std::string fluence = readFile(folder.path() / FLUENCE);
    testsupport::expectGolden(result, GOLDEN_DIR / "small_run.pdd");
    testsupport::expectGolden(fluence, GOLDEN_DIR / "small_run.spct");

    const auto lines = splitRecords(console);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[2], "   Monte Carlo Simulation  --- Tolvane ---");
    EXPECT_EQ(lines[4],
              "        15\xc3\x97"
              "15 field   \xe3\x82\xab\xe3\x82\xa6\xe3\x83\xb3\xe3\x82\xbf   1cm\xcf\x86\xc3\x97"
              "1mm ");
    EXPECT_EQ(lines[5], "  History=       20000");
    EXPECT_EQ(lines[6], "  <<< Monte Carlo Simulation >>>");
    EXPECT_EQ(lines[12], "Stop - Program terminated.");

    const auto records = splitRecords(result);
    ASSERT_EQ(records.size(), 127u);
    EXPECT_EQ(records[1], "     20000.");
    int maxima = 0;
    for (int j = 1; j <= 125; ++j) {
        const std::string& row = records[static_cast<std::size_t>(j + 1)];
        ASSERT_EQ(row.size(), 15u);
        EXPECT_EQ(field(row.substr(0, 5), 0), static_cast<float>(j - 15));
        const float dose = field(row.substr(5), 3);
        EXPECT_GE(dose, 0.0f);
        EXPECT_LE(dose, 1.0f);
        maxima += dose == 1.0f ? 1 : 0;
    }
    EXPECT_GE(maxima, 1);
    EXPECT_GT(field(records[17].substr(5), 3), 0.5f);  // label 1: the first millimetre of water
}

TEST(DepthDoseRun, ExecutableWritesBothFilesAndTheSameAgain) {
    TempFolder folder("depthdose-exe");
    prepareSmallRun(folder.path());
    ASSERT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, folder.path()), 0);
    EXPECT_EQ(readFile(folder.path() / RESULT), readFile(GOLDEN_DIR / "small_run.pdd"));
    EXPECT_EQ(readFile(folder.path() / FLUENCE), readFile(GOLDEN_DIR / "small_run.spct"));
    std::filesystem::remove(folder.path() / RESULT);
    ASSERT_EQ(testing_support::runProgram(TOLVANE_PROGRAM, folder.path()), 0);
    EXPECT_EQ(readFile(folder.path() / RESULT), readFile(GOLDEN_DIR / "small_run.pdd"));
}

TEST(DepthDoseRun, FailuresStopBeforeTheirOutputAndKeepBothPreviousFiles) {
    TempFolder folder("depthdose-bad");
    prepareSmallRun(folder.path());
    testing_support::writeRunFile(folder.path(), " 9.0", "20000.", RESULT);  // only three records
    EXPECT_NE(testing_support::runProgram(TOLVANE_PROGRAM, folder.path()), 0);
    const std::string message = readFile(folder.path() / "stderr.txt");
    EXPECT_NE(message.find("Nimbrola.dat, line 4"), std::string::npos) << message;
    EXPECT_NE(message.find("fluence file name"), std::string::npos) << message;
    EXPECT_EQ(readFile(folder.path() / "stdout.txt").find("History="), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / FLUENCE));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / RESULT));

    // A result that cannot be written is found before anything is written: the fluence file of the
    // earlier run is not replaced by a new one beside the old depth dose.
    testing_support::writeFile(folder.path() / RESULT, "old depth dose\r\n");
    testing_support::writeFile(folder.path() / FLUENCE, "old fluence\r\n");
    std::filesystem::create_directory(folder.path() / "a-folder.pdd");
    const struct {
        const char* result;
        const char* fluence;
        const char* named;
    } refused[] = {
        {"a-folder.pdd", FLUENCE, "line 3: the result file \"a-folder.pdd\" is a folder"},
        {RESULT, "no-such-folder/x.spct", "line 4: the fluence file \"no-such-folder/x.spct\""},
        {"Nimbrola.dat", FLUENCE, "line 3: the result file \"Nimbrola.dat\" is the input file"},
        {RESULT, RESULT, "line 3: the result file \"9MeV-9.0_8.0-2.0.pdd\" is also the fluence file"},
        {"..", FLUENCE, "line 3: the result file \"..\" names a folder"},
    };
    for (const auto& r : refused) {
        testing_support::writeRunFile(folder.path(), " 9.0", "20000.", r.result, r.fluence);
        EXPECT_NE(testing_support::runProgram(TOLVANE_PROGRAM, folder.path()), 0);
        const std::string error = readFile(folder.path() / "stderr.txt");
        EXPECT_NE(error.find(r.named), std::string::npos) << error;
        EXPECT_EQ(readFile(folder.path() / "stdout.txt").find("<<< Monte Carlo Simulation >>>"), std::string::npos);
        EXPECT_EQ(readFile(folder.path() / RESULT), "old depth dose\r\n");
        EXPECT_EQ(readFile(folder.path() / FLUENCE), "old fluence\r\n");
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

#ifndef _WIN32
TEST(DepthDoseRun, SigtermDuringTheHistoriesKeepsBothPreviousFiles) {
    TempFolder folder("depthdose-sigterm");
    prepareSmallRun(folder.path(), "2000000000.");  // far too long: it is stopped long before
    testing_support::writeFile(folder.path() / RESULT, "old depth dose\r\n");
    testing_support::writeFile(folder.path() / FLUENCE, "old fluence\r\n");
    const int child = testing_support::startProgram(TOLVANE_PROGRAM, folder.path());
    ASSERT_GT(child, 0);
    ASSERT_TRUE(testing_support::waitForText(folder.path() / "stdout.txt", "Wait a long time", 20.0));
    kill(child, SIGTERM);
    EXPECT_EQ(testing_support::waitForProgram(child), 128 + SIGTERM);
    EXPECT_EQ(readFile(folder.path() / RESULT), "old depth dose\r\n");
    EXPECT_EQ(readFile(folder.path() / FLUENCE), "old fluence\r\n");
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    const std::string message = readFile(folder.path() / "stderr.txt");
    EXPECT_NE(message.find("stopped (SIGTERM)"), std::string::npos) << message;
}
#endif

TEST(DepthDoseRun, FractionalCountBlankNamesAndAnEmptyCounter) {
    TempFolder folder("depthdose-edge");
    prepareSmallRun(folder.path(), "10.7");
    testing_support::writeSingleBinSpectrum(folder.path());  // 10 histories, all at 9 MeV
    testing_support::writeFile(folder.path() / "Nimbrola.dat", " 9.0\r\n10.7\r\n\r\n\r\n");
    const std::string console = runInProcess(folder.path(), "\nflu.spct\n\nres.pdd\n\n");
    EXPECT_NE(console.find("\r\n  History=          10\r\n"), std::string::npos) << console;
    ASSERT_TRUE(std::filesystem::exists(folder.path() / "flu.spct"));
    EXPECT_EQ(splitRecords(readFile(folder.path() / "flu.spct"))[0], toCharacterVariable("flu.spct"));
    ASSERT_TRUE(std::filesystem::exists(folder.path() / "res.pdd"));
    EXPECT_EQ(splitRecords(readFile(folder.path() / "res.pdd")).size(), 127u);

    // One history, which starts far from the axis: the counter stays empty, and says so.
    testing_support::writeRunFile(folder.path(), " 9.0", "1.", RESULT, FLUENCE);
    const std::string none = runInProcess(folder.path());
    EXPECT_NE(none.find("axis counter received no energy"), std::string::npos);
    const auto zeros = splitRecords(readFile(folder.path() / RESULT));
    ASSERT_EQ(zeros.size(), 127u);
    for (std::size_t row = 2; row < zeros.size(); ++row) EXPECT_EQ(zeros[row].substr(5), " 0.000E+00");

    testing_support::writeRunFile(folder.path(), " 9.0", "0.", RESULT, FLUENCE);
    EXPECT_THROW(runInProcess(folder.path()), RunError);
    EXPECT_EQ(splitRecords(readFile(folder.path() / RESULT)).size(), 127u);  // the earlier result stays
}

}  // namespace
