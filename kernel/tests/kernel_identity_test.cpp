// Whole Brisella runs against files written by the straightforward transport (one stopping power,
// one table search and one cosine and sine per step): any change of the history loop must leave
// every byte of the result and every bit of the grid as it was. ORVALIS_UPDATE_GOLDEN=1 rewrites
// the files; do that only from a build of the straightforward code.
#include "kernel/kernel_simulation.h"

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

const std::filesystem::path GOLDEN_DIR = std::filesystem::path(KERNEL_GOLDEN_DIR) / "identity";
const std::filesystem::path COMMITTED_TABLE(COMMITTED_ELDAT);
constexpr const char* RESULT = "identity.elk";

using testing_support::IdentityCase;
using Table = testing_support::IdentityTable;
using Source = testing_support::IdentitySpectrum;

// The grid of the same run, before normalisation, through the engine's history loop.
std::string gridOfRun(const std::filesystem::path& folder) {
    LaggedGenerator generator;
    generator.seed();
    const ElectronData data = loadElectronData(folder / ELECTRON_DATA_FILE_NAME);
    const RunFile run = readRunFile(folder / RUN_FILE_NAME, RunKind::Kernel);
    Spectrum spectrum = readSpectrumFile(folder / SPECTRUM_FILE_NAME);
    normaliseSpectrum(spectrum, run.maxEnergyMeV);
    KernelGrid grid;
    runSpectrum(
        spectrum, historiesPerBin(spectrum, run.historyCount), data, generator, grid,
        [](float energyKeV, auto&) { return narrowBeamStart(energyKeV); }, NeverLeaves{});
    return testing_support::gridBits(grid, KernelGrid::RADIAL_BINS);
}

class KernelIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(KernelIdentity, ResultFileAndGridMatchTheGoldenFilesBitForBit) {
    const IdentityCase& run = GetParam();
    TempFolder folder(std::string("kernel-identity-") + run.name);
    testing_support::prepareIdentityRun(run, folder.path(), COMMITTED_TABLE, RESULT);
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, false);
    kernel::runKernelSimulation(folder.path(), console);
    testsupport::expectGolden(readFile(folder.path() / RESULT), GOLDEN_DIR / (std::string(run.name) + ".elk"));
    testsupport::expectGolden(gridOfRun(folder.path()), GOLDEN_DIR / (std::string(run.name) + ".grid"));
}

INSTANTIATE_TEST_SUITE_P(
    Spectra, KernelIdentity,
    ::testing::Values(IdentityCase{"committed_beta_9MeV", Table::Committed, " 9.0", Source::Beta8And2, "50000."},
                      IdentityCase{"committed_single_1MeV", Table::Committed, " 1.0", Source::SingleBin, "100000."},
                      IdentityCase{"committed_single_20MeV", Table::Committed, "20.0", Source::SingleBin, "20000."},
                      IdentityCase{"stress_beta_9MeV", Table::BackscatterStress, " 9.0", Source::Beta8And2, "30000."},
                      IdentityCase{"stress_single_20MeV", Table::BackscatterStress, "20.0", Source::SingleBin,
                                   "20000."}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) { return std::string(info.param.name); });

}  // namespace
