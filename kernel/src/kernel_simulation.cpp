#include "kernel/kernel_simulation.h"

#include "engine/record_io.h"

#include <memory>
#include <vector>

namespace kernel {

using namespace engine;

std::string kernelResultText(const RunFile& run, const Spectrum& spectrum, const KernelGrid& grid) {
    std::string text = resultHeaderLines(run.maxEnergyMeV, spectrum, run.historyCount);
    const RecordFormat rowFormat(ROW_FORMAT);
    std::vector<OutputItem> row;
    row.reserve(KernelGrid::RADIAL_BINS + 1);
    for (int depth = 1; depth <= KernelGrid::DEPTH_BINS; ++depth) {
        row.clear();
        row.emplace_back(static_cast<float>(depth - engine::DEPTH_LABEL_OFFSET_MM));
        for (int ring = 1; ring <= KernelGrid::RADIAL_BINS; ++ring) row.emplace_back(grid.cell(depth, ring));
        for (const std::string& record : formatRecords(rowFormat, row)) text += record + "\r\n";
    }
    return text;
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
