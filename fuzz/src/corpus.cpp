#include "fuzz/corpus.h"

#include "common/beta_spectrum.h"
#include "common/exchange_files.h"
#include "depthdose/depthdose_simulation.h"
#include "engine/console.h"
#include "engine/electron_data.h"
#include "fit/fit_command.h"
#include "fuzz/target.h"
#include "kernel/kernel_simulation.h"

#include <sstream>
#include <stdexcept>

namespace fuzz {

namespace {

// The exchange files of the default set-up (alpha 8, beta 2, 9 MeV), as the set-up window writes them.
orvalis::ExchangeContent defaultSetUp(orvalis::CalculationKind kind, int histories) {
    orvalis::ExchangeContent content;
    content.kind = kind;
    content.maxEnergyMeV = 9.0;
    content.historyText = std::to_string(histories);
    content.resultBaseName = RESULT_BASE;
    content.alpha = 8.0;
    content.beta = 2.0;
    orvalis::SpectrumArray density{};
    if (orvalis::updateSpectrum(content.alpha, content.beta, density, content.specRelative) !=
        orvalis::SpectrumUpdate::Completed)
        throw std::runtime_error("the default Beta spectrum could not be computed");
    return content;
}

void runSimulator(void (*simulation)(const std::filesystem::path&, engine::Console&),
                  const std::filesystem::path& folder) {
    std::istringstream in;
    std::ostringstream out;
    engine::Console console(in, out, false);
    simulation(folder, console);
}

// A table whose deflections are drawn evenly in cosine, forward to backward, at every energy: the
// committed energies with the widest scattering there is, so that electrons turn back often and
// reach far in front of the entry plane.
std::string wideTable(const std::string& committed, const std::filesystem::path& scratch) {
    writeBytes(scratch / "ELDAT.dat", committed);
    engine::ElectronData data = engine::loadElectronData(scratch / "ELDAT.dat");
    for (auto& row : data.deflectionQuantiles)
        for (std::size_t c = 0; c < row.size(); ++c) row[c] = -16384 + static_cast<std::int32_t>(512 * c);
    return engine::formatElectronData(data);
}

}  // namespace

Corpus makeCorpus(const std::filesystem::path& dataFolder, const std::filesystem::path& scratch) {
    Corpus c;
    c.eldat = readBytes(dataFolder / "ELDAT.dat");
    c.waterCsda = readBytes(dataFolder / "water.csda");
    c.measured = readBytes(dataFolder / "example-9MeV-simulated.csv");
    if (c.eldat.empty() || c.waterCsda.empty() || c.measured.empty())
        throw std::runtime_error("the data files are missing from " + dataFolder.string());

    const auto kernelSetUp = defaultSetUp(orvalis::CalculationKind::Kernel, KERNEL_HISTORIES);
    const auto depthDoseSetUp = defaultSetUp(orvalis::CalculationKind::DepthDose, DEPTH_DOSE_HISTORIES);
    c.kernelRun = orvalis::runFileBytes(kernelSetUp);
    auto kernel12 = kernelSetUp;
    kernel12.maxEnergyMeV = 12.0;
    kernel12.historyText = std::to_string(WIDE_KERNEL_HISTORIES);
    c.kernelRun12MeV = orvalis::runFileBytes(kernel12);
    c.wideEldat = wideTable(c.eldat, scratch);
    c.kernelSpectrum = orvalis::spectrumFileBytes(kernelSetUp);
    c.depthDoseRun = orvalis::runFileBytes(depthDoseSetUp);
    c.depthDoseSpectrum = orvalis::spectrumFileBytes(depthDoseSetUp);

    writeBytes(scratch / "ELDAT.dat", c.eldat);
    writeBytes(scratch / "Nimbrola.dat", c.kernelRun);
    writeBytes(scratch / "Nimbrola.txt", c.kernelSpectrum);
    runSimulator(kernel::runKernelSimulation, scratch);
    c.kernelResult = readBytes(scratch / (std::string(RESULT_BASE) + ".elk"));
    writeBytes(scratch / "Nimbrola.dat", c.depthDoseRun);
    writeBytes(scratch / "Nimbrola.txt", c.depthDoseSpectrum);
    runSimulator(depthdose::runDepthDoseSimulation, scratch);
    c.depthDoseResult = readBytes(scratch / (std::string(RESULT_BASE) + ".pdd"));
    c.fluence = readBytes(scratch / (std::string(RESULT_BASE) + ".spct"));

    writeBytes(scratch / "water.csda", c.waterCsda);
    writeBytes(scratch / "measured.csv", c.measured);
    fit::CommandOptions options = fit::parseArguments(
        {(scratch / "measured.csv").string(), "--emax", std::to_string(FIT_MAX_ENERGY_MEV), "--fixed-emax",
         "--histories", std::to_string(BASIS_HISTORIES), "--out", (scratch / "fit.pdd").string()});
    options.workFolder = scratch;
    std::ostringstream fitOut;
    if (fit::runFitCommand(options, fitOut) != 0) throw std::runtime_error("the fit of the example failed");
    c.fitOutput = fitOut.str();
    c.fittedCurve = readBytes(scratch / "fit.pdd");
    c.basisCacheName = "fit-basis-9.0MeV.txt";
    c.basisCache = readBytes(scratch / c.basisCacheName);
    for (const std::string* file : {&c.kernelResult, &c.depthDoseResult, &c.fluence, &c.fittedCurve, &c.basisCache})
        if (file->empty()) throw std::runtime_error("a product file of the corpus was not written");
    return c;
}

}  // namespace fuzz
