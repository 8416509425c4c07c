#include "kernel/kernel_simulation.h"

#include "beamdata/kernel_file.h"

#include <memory>

namespace kernel {

using namespace engine;

std::string kernelResultText(const RunFile& run, const Spectrum& spectrum, const KernelGrid& grid) {
    static_assert(KernelGrid::DEPTH_BINS == beamdata::KERNEL_FILE_DEPTH_BINS &&
                  KernelGrid::RADIAL_BINS == beamdata::KERNEL_FILE_RADIAL_BINS);
    return beamdata::kernelFileText(run, spectrum, [&grid](int depth, int ring) { return grid.cell(depth, ring); });
}

void runKernelSimulation(const std::filesystem::path& folder, Console& console) {
    RunStart start = startRun(folder, console, TITLE);
    LaggedGenerator& generator = start.generator;
    const ElectronData& data = start.data;
    console.line("");

    const RunFile run = readRunFile(folder / RUN_FILE_NAME, RunKind::Kernel);
    Spectrum spectrum = readSpectrumFile(folder / SPECTRUM_FILE_NAME);
    normaliseSpectrum(spectrum, run.maxEnergyMeV);
    const HistoryCounts counts = historiesPerBin(spectrum, run.historyCount);
    const float totalEnergyKeV = totalIncidentEnergy(spectrum, run.historyCount);
    checkRunSimulates(run, counts, totalEnergyKeV);

    // The result name is settled and its file created before the first history, so that a
    // result that cannot be written is found before the work is done.
    const NameOrigin origin{RUN_FILE_NAME, run.resultNameLine, "the result file"};
    const std::string resultName = resolveFileName(run.resultFileName, console, origin);
    try {
        const StopOnSignals stopOnSignals;  // until the file is in place; the end pause is not a run
        ResultFile result(folder, resultName, origin, runInputFiles(folder));

        console.line(SIMULATION_LINE);
        console.timeStamp(START_TIME_FORMAT, localTimeNow());
        console.line(WAIT_LINE);

        auto grid = std::make_unique<KernelGrid>();
        runSpectrum(
            spectrum, counts, data, generator, *grid, [](float energyKeV, auto&) { return narrowBeamStart(energyKeV); },
            NeverLeaves{});

        console.timeStamp(FINISH_TIME_FORMAT, localTimeNow());
        grid->normalise(totalEnergyKeV);
        checkScoredGrid(*grid, resultName);
        result.write(kernelResultText(run, spectrum, *grid));
        throwIfStopRequested();
        result.commit();
    } catch (const RunStopped& stopped) {
        throw RunStopped(stopped.signalNumber(), resultName);
    }
    console.endOfRun();
}

}  // namespace kernel
