#include "fuzz/corpus.h"

#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "depthdose/depthdose_simulation.h"
#include "engine/console.h"
#include "engine/constants.h"
#include "engine/electron_data.h"
#include "fit/beta_fit_command.h"
#include "fit/free_fit_command.h"
#include "fuzz/target.h"
#include "kernel/kernel_simulation.h"

#include <sstream>
#include <stdexcept>

namespace fuzz {

namespace {

// The exchange files of the default set-up (alpha 8, beta 2, 9 MeV), as the set-up window writes them.
beamdata::ExchangeContent defaultSetUp(beamdata::CalculationKind kind, int histories) {
    beamdata::ExchangeContent content;
    content.kind = kind;
    content.maxEnergyMeV = 9.0;
    content.historyText = std::to_string(histories);
    content.resultBaseName = RESULT_BASE;
    content.titleLine1 = beamdata::alphaTitleLine(8.0);
    content.titleLine2 = beamdata::betaTitleLine(2.0);
    const auto relative = beamdata::relativeBetaDensity(8.0, 2.0);
    if (!relative) throw std::runtime_error("the default Beta spectrum could not be computed");
    content.relativeWeight = *relative;
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
    writeBytes(scratch / engine::ELECTRON_DATA_FILE_NAME, committed);
    engine::ElectronData data = engine::loadElectronData(scratch / engine::ELECTRON_DATA_FILE_NAME);
    for (auto& row : data.deflectionQuantiles)
        for (std::size_t c = 0; c < row.size(); ++c) row[c] = -16384 + static_cast<std::int32_t>(512 * c);
    return engine::formatElectronData(data);
}

}  // namespace

Corpus makeCorpus(const std::filesystem::path& dataFolder, const std::filesystem::path& samplesFolder,
                  const std::filesystem::path& scratch) {
    Corpus c;
    c.eldat = readBytes(dataFolder / engine::ELECTRON_DATA_FILE_NAME);
    c.waterCsda = readBytes(dataFolder / "water.csda");
    c.measured = readBytes(dataFolder / "example-9MeV-simulated.csv");
    if (c.eldat.empty() || c.waterCsda.empty() || c.measured.empty())
        throw std::runtime_error("the data files are missing from " + dataFolder.string());

    const auto kernelSetUp = defaultSetUp(beamdata::CalculationKind::Kernel, KERNEL_HISTORIES);
    const auto depthDoseSetUp = defaultSetUp(beamdata::CalculationKind::DepthDose, DEPTH_DOSE_HISTORIES);
    c.kernelRun = beamdata::runFileBytes(kernelSetUp);
    auto kernel12 = kernelSetUp;
    kernel12.maxEnergyMeV = 12.0;
    kernel12.historyText = std::to_string(WIDE_KERNEL_HISTORIES);
    c.kernelRun12MeV = beamdata::runFileBytes(kernel12);
    c.wideEldat = wideTable(c.eldat, scratch);
    c.kernelSpectrum = beamdata::spectrumFileBytes(kernelSetUp);
    c.depthDoseRun = beamdata::runFileBytes(depthDoseSetUp);
    c.depthDoseSpectrum = beamdata::spectrumFileBytes(depthDoseSetUp);

    writeBytes(scratch / engine::ELECTRON_DATA_FILE_NAME, c.eldat);
    writeBytes(scratch / engine::RUN_FILE_NAME, c.kernelRun);
    writeBytes(scratch / engine::SPECTRUM_FILE_NAME, c.kernelSpectrum);
    runSimulator(kernel::runKernelSimulation, scratch);
    c.kernelResult = readBytes(scratch / (std::string(RESULT_BASE) + ".elk"));
    writeBytes(scratch / engine::RUN_FILE_NAME, c.depthDoseRun);
    writeBytes(scratch / engine::SPECTRUM_FILE_NAME, c.depthDoseSpectrum);
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

    fit::CommandOptions free = fit::parseArguments({(scratch / "measured.csv").string(), "--model", "free", "--rp",
                                                    "measured", "--histories", std::to_string(BASIS_HISTORIES)});
    free.workFolder = scratch;
    std::ostringstream freeOut;
    if (fit::runFreeFitCommand(free, freeOut) != 0) throw std::runtime_error("the free-form fit of the example failed");
    c.freeFitOutput = freeOut.str();

    c.waterTankMcc = readBytes(samplesFolder / "electrons-6-9-12MeV.mcc");
    c.waterTankRfa300 = readBytes(samplesFolder / "electrons-9-16MeV.asc");
    c.waterTankW2cad = readBytes(samplesFolder / "electrons-12-20MeV.cdp");
    if (c.waterTankMcc.empty() || c.waterTankRfa300.empty() || c.waterTankW2cad.empty())
        throw std::runtime_error("the water-tank samples are missing from " + samplesFolder.string());
    for (const std::string* file : {&c.kernelResult, &c.depthDoseResult, &c.fluence, &c.fittedCurve, &c.basisCache})
        if (file->empty()) throw std::runtime_error("a product file of the corpus was not written");
    return c;
}

}  // namespace fuzz
