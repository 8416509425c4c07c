// Whole Tolvane runs against files written by the straightforward transport (one stopping power,
// one table search and one cosine and sine per step, every ring scored): any change of the
// history loop or the scoring must leave every byte of both files and every bit of the axis
// counter's cells as they were. ORVALIS_UPDATE_GOLDEN=1 rewrites the files (and fails); do that
// only from a build of the straightforward code.
#include "depthdose/depthdose_simulation.h"

#include "engine/run_frame.h"
#include "test_support.h"
#include "testsupport/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

using namespace engine;
using testing_support::readFile;
using testing_support::TempFolder;

const std::filesystem::path GOLDEN_DIR = std::filesystem::path(DEPTHDOSE_GOLDEN_DIR) / "identity";
const std::filesystem::path COMMITTED_TABLE(COMMITTED_ELDAT);
constexpr const char* RESULT = "identity.pdd";
constexpr const char* FLUENCE = "identity.spct";

using testing_support::IdentityCase;
using Table = testing_support::IdentityTable;
using Source = testing_support::IdentitySpectrum;

// The axis counter's cells of the same run, before normalisation, through the engine's history loop.
std::string counterCellsOfRun(const std::filesystem::path& folder) {
    LaggedGenerator generator;
    generator.seed();
    const ElectronData data = loadElectronData(folder / ELECTRON_DATA_FILE_NAME);
    const RunFile run = readRunFile(folder / RUN_FILE_NAME, RunKind::DepthDose);
    Spectrum spectrum = readSpectrumFile(folder / SPECTRUM_FILE_NAME);
    normaliseSpectrum(spectrum, run.maxEnergyMeV);
    KernelGrid grid;
    runSpectrum(
        spectrum, historiesPerBin(spectrum, run.historyCount), data, generator, grid,
        [](float energyKeV, auto& draws) { return depthdose::sampleFieldSource(energyKeV, draws); },
        depthdose::LeavesThroughSurface{});
    return testing_support::gridBits(grid, depthdose::AXIS_COUNTER_RINGS);
}

class DepthDoseIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(DepthDoseIdentity, BothFilesAndTheCounterCellsMatchTheGoldenFilesBitForBit) {
    const IdentityCase& run = GetParam();
    TempFolder folder(std::string("depthdose-identity-") + run.name);
    testing_support::prepareIdentityRun(run, folder.path(), COMMITTED_TABLE, RESULT, FLUENCE);
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, false);
    depthdose::runDepthDoseSimulation(folder.path(), console);
    const std::string stem = (GOLDEN_DIR / run.name).string();
    testsupport::expectGolden(readFile(folder.path() / RESULT), stem + ".pdd");
    testsupport::expectGolden(readFile(folder.path() / FLUENCE), stem + ".spct");
    testsupport::expectGolden(counterCellsOfRun(folder.path()), stem + ".grid");
}

INSTANTIATE_TEST_SUITE_P(
    Spectra, DepthDoseIdentity,
    ::testing::Values(IdentityCase{"committed_beta_9MeV", Table::Committed, " 9.0", Source::Beta8And2, "100000."},
                      IdentityCase{"committed_single_1MeV", Table::Committed, " 1.0", Source::SingleBin, "100000."},
                      IdentityCase{"committed_single_20MeV", Table::Committed, "20.0", Source::SingleBin, "50000."},
                      IdentityCase{"stress_beta_9MeV", Table::BackscatterStress, " 9.0", Source::Beta8And2, "50000."},
                      IdentityCase{"stress_single_20MeV", Table::BackscatterStress, "20.0", Source::SingleBin,
                                   "30000."}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) { return std::string(info.param.name); });

}  // namespace
