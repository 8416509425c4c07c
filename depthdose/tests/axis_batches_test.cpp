// The uncertainty file of a Tolvane run: its name, layout and atomic writing, and the batch
// estimate against known variances and against the spread of independent runs.
#include "depthdose/axis_batches.h"
#include "depthdose/depthdose_simulation.h"

#include "engine/record_io.h"
#include "engine/run_error.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

namespace {

using namespace engine;
using testing_support::readFile;
using testing_support::splitRecords;
using testing_support::TempFolder;

constexpr const char* RESULT = "run.pdd";
constexpr const char* UNCERTAINTY = "run.sd";
constexpr const char* FLUENCE = "run.spct";

void prepareSmallRun(const std::filesystem::path& folder, const std::string& historyCount) {
    saveElectronData(folder / "ELDAT.dat", testing_support::gaussianWidthTable());
    testing_support::writeRunFile(folder, " 9.0", historyCount, RESULT, FLUENCE);
    testing_support::writeBetaSpectrum(folder, 8.0, 2.0);
}

void runInProcess(const std::filesystem::path& folder, int stream = 0) {
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, false);
    depthdose::runDepthDoseSimulation(folder, console, stream);
}

// The second column of the 125 records.
std::vector<double> column(const std::string& text) {
    const auto records = splitRecords(text);
    std::vector<double> values;
    for (std::size_t row = 2; row < records.size(); ++row) {
        float value = -1.0f;
        EXPECT_TRUE(parseRealField(records[row].substr(5), 3, value)) << records[row];
        values.push_back(value);
    }
    return values;
}

TEST(UncertaintyFile, NameBesideTheResultWithTheResultsLayout) {
    EXPECT_EQ(uncertaintyFileName("run.pdd"), "run.sd");
    EXPECT_EQ(uncertaintyFileName("run"), "run.sd");
    EXPECT_EQ(uncertaintyFileName("9MeV-9.0_8.0-2.0.pdd"), "9MeV-9.0_8.0-2.0.sd");  // the last extension only
    EXPECT_EQ(uncertaintyFileName("a.b/run"), "a.b/run.sd");

    TempFolder folder("depthdose-sd");
    prepareSmallRun(folder.path(), "20000.");
    runInProcess(folder.path());
    const std::string result = readFile(folder.path() / RESULT);
    const std::string uncertainty = readFile(folder.path() / UNCERTAINTY);
    const auto resultRecords = splitRecords(result);
    const auto records = splitRecords(uncertainty);
    ASSERT_EQ(records.size(), 127u);
    EXPECT_EQ(records[0], resultRecords[0]);
    EXPECT_EQ(records[1], resultRecords[1]);
    const std::vector<double> dose = column(result);
    const std::vector<double> sd = column(uncertainty);
    int fallOff = 0;
    for (std::size_t j = 0; j < 125; ++j) {
        ASSERT_EQ(records[j + 2].size(), 15u);
        EXPECT_EQ(records[j + 2].substr(0, 5), resultRecords[j + 2].substr(0, 5));  // the same depth labels
        EXPECT_GE(sd[j], 0.0);
        if (dose[j] == 0.0 || dose[j] == 1.0) {
            EXPECT_EQ(sd[j], 0.0) << j << ": no dose, or the normalisation bin that reads 1 in every run";
        }
        // In the fall-off a run of 20000 histories is uncertain by a few percent, by less than the
        // dose itself.
        if (dose[j] > 0.1 && dose[j] < 0.9) {
            ++fallOff;
            EXPECT_GT(sd[j], 0.002) << j;
            EXPECT_LT(sd[j], dose[j]) << j;
        }
    }
    EXPECT_GE(fallOff, 5);

    // Written whole or not at all with the others: a failing run keeps the earlier file, and a
    // result whose uncertainty file would be the result itself is refused before any history.
    testing_support::writeRunFile(folder.path(), " 9.0", "20000.", RESULT);  // no fluence record
    EXPECT_THROW(runInProcess(folder.path()), RunError);
    EXPECT_EQ(readFile(folder.path() / UNCERTAINTY), uncertainty);
    testing_support::writeRunFile(folder.path(), " 9.0", "20000.", UNCERTAINTY, FLUENCE);
    try {
        runInProcess(folder.path());
        ADD_FAILURE() << "a result named like its uncertainty file was run";
    } catch (const RunError& error) {
        EXPECT_NE(std::string(error.what()).find("the uncertainty file \"run.sd\" is also the result file"),
                  std::string::npos)
            << error.what();
    }
    EXPECT_EQ(readFile(folder.path() / UNCERTAINTY), uncertainty);
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

// Histories that leave a known energy in two slabs on the axis: the normalisation bin A (depth bin
// 20) and bin B (40), each history's deposits drawn from a fixed seed.
struct SyntheticRun {
    engine::KernelGrid grid{depthdose::AXIS_COUNTER_RINGS};
    depthdose::AxisBatchScorer scorer{grid};

    void history(float energyA, float energyB) {
        scorer.depositStep({0.0f, 0.0f, 1.91f}, {0.0f, 0.0f, 1.99f}, energyA);
        scorer.depositStep({0.0f, 0.0f, 3.91f}, {0.0f, 0.0f, 3.99f}, energyB);
        scorer.endHistory();
    }
    // The standard uncertainty of bin B relative to bin A.
    double uncertaintyOfB() {
        bool empty = false;
        const depthdose::AxisDose dose = depthdose::reduceToAxisDose(grid, empty);
        EXPECT_EQ(dose[19], 1.0f);
        const depthdose::AxisDose sd = depthdose::relativeDoseUncertainty(scorer.batches(), dose);
        EXPECT_EQ(sd[19], 0.0f);
        EXPECT_EQ(sd[0], 0.0f);
        return sd[39];
    }
};

// A uniform of [0, 1) from the top 24 bits of the standard Mersenne twister: the same on every
// platform.
float uniform(std::mt19937& bits) { return static_cast<float>(bits() >> 8) / 16777216.0f; }

TEST(AxisBatches, EstimateMatchesKnownVariancesOfTheRatio) {
    // Bin A takes 1 + u, bin B takes u of the same history: r = E[u] / E[1 + u] = 1/3, and to first
    // order sd(r) = (1 - r) sd(u) / (E[1 + u] sqrt(N)). With 40 batches the estimate scatters by
    // about 11 %; the seed is fixed, the bounds are three times that.
    constexpr int HISTORIES = 40000;
    std::mt19937 bits(20261208u);
    SyntheticRun correlated;
    for (int n = 0; n < HISTORIES; ++n) {
        const float u = uniform(bits);
        correlated.history(1.0f + u, u);
    }
    const double expected = (2.0 / 3.0) * std::sqrt(1.0 / 12.0) / (1.5 * std::sqrt(double(HISTORIES)));
    EXPECT_NEAR(correlated.uncertaintyOfB() / expected, 1.0, 0.35);

    // B = A / 2 in every history: the ratio is 1/2 with no uncertainty at all, however much A
    // varies and however unequal the batches are (40003 histories in 40 batches).
    SyntheticRun proportional;
    for (int n = 0; n < HISTORIES + 3; ++n) {
        const float a = 1.0f + uniform(bits);
        proportional.history(a, 0.5f * a);
    }
    EXPECT_LT(proportional.uncertaintyOfB(), 1e-9);

    // Batches take every 40th history: a drift over the run (B grows from 0 to 1 with the history
    // number) is shared by all batches alike and adds almost nothing, where consecutive blocks of
    // histories would see it as a spread of sd(r) = 0.5 x 0.29 / sqrt(40) = 0.023.
    SyntheticRun drifting;
    for (int n = 0; n < HISTORIES; ++n) drifting.history(1.0f, static_cast<float>(n) / static_cast<float>(HISTORIES));
    EXPECT_LT(drifting.uncertaintyOfB(), 1e-4);
}

TEST(AxisBatches, AgreesWithTheSpreadOfIndependentRuns) {
    // Ten runs of one input on ten generator streams: across the fall-off, the variance that the
    // batches predict and the variance between the runs agree. The pooled ratio over about ten
    // bins and ten runs scatters by some 15 %; the streams are fixed and the bounds generous, a
    // factor sqrt(40) (a batch taken for the run) or 2 would still fail.
    constexpr int RUNS = 10;
    TempFolder folder("depthdose-streams");
    prepareSmallRun(folder.path(), "20000.");
    std::vector<std::vector<double>> doses, sds;
    for (int stream = 1; stream <= RUNS; ++stream) {
        runInProcess(folder.path(), stream);
        doses.push_back(column(readFile(folder.path() / RESULT)));
        sds.push_back(column(readFile(folder.path() / UNCERTAINTY)));
    }
    EXPECT_NE(doses[0], doses[1]) << "two streams gave the same run";
    double between = 0.0, predicted = 0.0;
    int bins = 0;
    for (std::size_t j = 0; j < 125; ++j) {
        double mean = 0.0;
        for (const auto& dose : doses) mean += dose[j] / RUNS;
        if (mean < 0.15 || mean > 0.85) continue;
        double squares = 0.0, predictedHere = 0.0;
        for (int k = 0; k < RUNS; ++k) {
            squares += (doses[k][j] - mean) * (doses[k][j] - mean);
            predictedHere += sds[k][j] * sds[k][j] / RUNS;
        }
        between += squares / (RUNS - 1);
        predicted += predictedHere;
        ++bins;
    }
    ASSERT_GE(bins, 5);
    RecordProperty("varianceRatio", std::to_string(between / predicted));
    EXPECT_GT(between / predicted, 0.6);
    EXPECT_LT(between / predicted, 1.7);
}

}  // namespace
