#include "depthdose/depthdose_simulation.h"

#include "engine/electron_data.h"
#include "engine/record_io.h"

#include <cmath>
#include <memory>
#include <vector>

namespace depthdose {

using namespace engine;

AxisDose reduceToAxisDose(const KernelGrid& grid, bool& counterEmpty) {
    AxisDose dose{};
    float largest = 0.0f;
    for (int depth = 1; depth <= KernelGrid::DEPTH_BINS; ++depth) {
        float sum = 0.0f;
        for (int ring = 1; ring <= AXIS_COUNTER_RINGS; ++ring) sum = sum + grid.cell(depth, ring);
        dose[static_cast<std::size_t>(depth - 1)] = sum;
        if (sum > largest) largest = sum;
    }
    counterEmpty = !(largest > 0.0f);
    if (counterEmpty) {
        dose.fill(0.0f);
        return dose;
    }
    for (float& value : dose) value = value / largest;
    return dose;
}

std::string fluenceFileText(const std::string& fluenceNameVariable, const Spectrum& spectrum) {
    std::string text = formatLines(RecordFormat(NAME_FORMAT), {std::string_view(fluenceNameVariable)});
    text += formatLines(RecordFormat(FLUENCE_HEADING_FORMAT), {});
    const RecordFormat rowFormat(FLUENCE_ROW_FORMAT);
    for (int bin = 0; bin < SPECTRUM_BINS; ++bin) {
        const auto index = static_cast<std::size_t>(bin);
        text += formatLines(rowFormat, {spectrum.binEnergyKeV[index] * MEV_PER_KEV, spectrum.binWeight[index]});
    }
    return text;
}

std::string depthDoseFileText(const RunFile& run, const Spectrum& spectrum, const AxisDose& dose) {
    std::string text = resultHeaderLines(run.maxEnergyMeV, spectrum, run.historyCount);
    const RecordFormat rowFormat(DOSE_ROW_FORMAT);
    for (int depth = 1; depth <= KernelGrid::DEPTH_BINS; ++depth)
        text += formatLines(
            rowFormat, {static_cast<float>(depth - DEPTH_LABEL_OFFSET_MM), dose[static_cast<std::size_t>(depth - 1)]});
    return text;
}

namespace {

// The history loop and the three files: the names were settled before, and no file is in place
// before the whole run has succeeded.
void simulateAndWrite(const std::filesystem::path& folder, const RunFile& run, const Spectrum& spectrum,
                      const HistoryCounts& counts, const ElectronData& data, LaggedGenerator& generator,
                      const std::string& fluenceName, const std::string& resultName, Console& console) {
    const StopOnSignals stopOnSignals;  // until the files are in place; the end pause is not a run
    const std::vector<std::filesystem::path> inputs = runInputFiles(folder);
    ResultFile fluence(folder, fluenceName, {RUN_FILE_NAME, run.fluenceNameLine, "the fluence file"}, inputs);
    ResultFile result(folder, resultName, {RUN_FILE_NAME, run.resultNameLine, "the result file"}, inputs);
    ResultFile uncertainty(folder, uncertaintyFileName(resultName).string(),
                           {RUN_FILE_NAME, run.resultNameLine, "the uncertainty file"}, inputs);
    checkDistinct(fluence, result);
    checkDistinct(result, uncertainty);
    checkDistinct(fluence, uncertainty);
    // The fluence file is complete before the first history, under its temporary name.
    fluence.write(fluenceFileText(
        trimTrailingBlanks(run.fluenceFileName).empty() ? toCharacterVariable(fluenceName) : run.fluenceFileName,
        spectrum));

    console.line(SIMULATION_LINE);
    console.timeStamp(START_TIME_FORMAT, localTimeNow());
    console.line(WAIT_LINE);

    // The depth dose reads only the counter's rings, and no cell of them depends on the others.
    auto grid = std::make_unique<KernelGrid>(AXIS_COUNTER_RINGS);
    auto scorer = std::make_unique<AxisBatchScorer>(*grid);
    runSpectrum(
        spectrum, counts, data, generator, *scorer,
        [](float energyKeV, auto& draws) { return sampleFieldSource(energyKeV, draws); }, LeavesThroughSurface{});

    console.timeStamp(FINISH_TIME_FORMAT, localTimeNow());
    grid->normalise(totalIncidentEnergy(spectrum, run.historyCount));
    checkScoredGrid(*grid, resultName);
    bool counterEmpty = false;
    const AxisDose dose = reduceToAxisDose(*grid, counterEmpty);
    if (counterEmpty) console.line("The axis counter received no energy: the dose column is written as zeros.");
    result.write(depthDoseFileText(run, spectrum, dose));
    uncertainty.write(depthDoseFileText(run, spectrum, relativeDoseUncertainty(scorer->batches(), dose)));
    throwIfStopRequested();
    ResultFile* const together[] = {&result, &uncertainty, &fluence};
    commitAll(together);
}

}  // namespace

void startGeneratorStream(LaggedGenerator& generator, int stream) {
    std::array<std::int32_t, LaggedGenerator::TABLE_SIZE> table{};
    // Odd multiples of a prime away from the fixed first entry; the "+ i" of the rule makes some
    // entries odd, which an additive generator modulo 2^14 needs.
    table[0] = static_cast<std::int32_t>((LaggedGenerator::FIRST_SEED + 7919LL * stream) % LaggedGenerator::MODULUS +
                                         LaggedGenerator::MODULUS) %
               LaggedGenerator::MODULUS;
    for (int i = 2; i <= LaggedGenerator::TABLE_SIZE; ++i) {
        const auto index = static_cast<std::size_t>(i - 1);
        table[index] = (2 * table[index - 1] + i) % LaggedGenerator::MODULUS;
    }
    generator.skipAhead(0, table);
    for (int draw = 0; draw < LaggedGenerator::WARM_UP_DRAWS; ++draw) generator.nextInteger();
}

void runDepthDoseSimulation(const std::filesystem::path& folder, Console& console) {
    runDepthDoseSimulation(folder, console, 0);
}

void runDepthDoseSimulation(const std::filesystem::path& folder, Console& console, int stream) {
    RunStart start = startRun(folder, console, TITLE);
    LaggedGenerator& generator = start.generator;
    if (stream != 0) startGeneratorStream(generator, stream);
    const ElectronData& data = start.data;
    console.japaneseLine(FIELD_LINE_UTF8, FIELD_LINE_SHIFT_JIS);

    const RunFile run = readRunFile(folder / RUN_FILE_NAME, RunKind::DepthDose);
    console.record(listDirectedRecord({std::string_view(HISTORY_LABEL), static_cast<std::int32_t>(run.historyCount)}));
    Spectrum spectrum = readSpectrumFile(folder / SPECTRUM_FILE_NAME);
    normaliseSpectrum(spectrum, run.maxEnergyMeV);
    const HistoryCounts counts = historiesPerBin(spectrum, run.historyCount);
    checkRunSimulates(run, counts, totalIncidentEnergy(spectrum, run.historyCount));

    // Both names are settled before anything is written, so that a run cannot replace the fluence
    // file and then fail at its result.
    const std::string fluenceName = resolveFileName(run.fluenceFileName, console,
                                                    {RUN_FILE_NAME, run.fluenceNameLine, "the fluence file"});
    const std::string resultName = resolveFileName(run.resultFileName, console,
                                                   {RUN_FILE_NAME, run.resultNameLine, "the result file"});
    try {
        simulateAndWrite(folder, run, spectrum, counts, data, generator, fluenceName, resultName, console);
    } catch (const RunStopped& stopped) {
        throw RunStopped(stopped.signalNumber(), resultName + " and " + fluenceName);
    }
    console.endOfRun();
}

}  // namespace depthdose
