#include "engine/run_frame.h"

#include "engine/record_io.h"
#include "engine/run_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace engine {

namespace {
// A value as a message shows it: nine significant digits, which read back as the same float.
std::string textOf(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}
}  // namespace

RunStart startRun(const std::filesystem::path& folder, Console& console, const SimulatorTitle& title) {
    RunStart start;
    start.generator.seed();
    start.data = loadElectronData(folder / ELECTRON_DATA_FILE_NAME);
    console.line("");
    console.line("");
    console.line(title.banner);
    console.japaneseLine(title.japaneseUtf8, title.japaneseShiftJis);
    return start;
}

int simulatorMain(void (*simulation)(const std::filesystem::path& folder, Console& console)) {
    prepareConsoleStreams();
    Console console(std::cin, std::cout, consoleUsesShiftJis());
    try {
        simulation(std::filesystem::path(), console);  // files by plain name in the current folder
    } catch (const RunStopped& stopped) {
        std::cout.flush();
        std::cerr << stopped.what() << "\r\n";
        return STOPPED_STATUS_BASE + stopped.signalNumber();
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << error.what() << "\r\n";
        return 1;
    }
    return 0;
}

RunFile readRunFile(const std::filesystem::path& path, RunKind kind) {
    LineReader reader(path);
    const RecordFormat nameFormat(NAME_FORMAT);
    RunFile run;
    run.maxEnergyMeV = readListDirectedReal(reader, "the maximum energy in MeV (line 1)");
    // Every bin energy is a share of it, and the result headers write it with "F6.2": a value
    // that is no positive energy, or one that field would write as asterisks, gives no result.
    if (!(run.maxEnergyMeV > 0.0f) || !std::isfinite(run.maxEnergyMeV))
        reader.fail("the maximum energy must be a positive number of MeV, not " + textOf(run.maxEnergyMeV));
    if (formatFixedField(run.maxEnergyMeV, 6, 2).find('*') != std::string::npos)
        reader.fail("the maximum energy " + textOf(run.maxEnergyMeV) +
                    " MeV does not fit the result files' header field (\"F6.2\", below 1000 MeV)");
    run.historyCount = readListDirectedReal(reader, "the history count (line 2)");
    run.historyCountLine = reader.lineNumber();
    if (!(run.historyCount < HISTORY_COUNT_LIMIT && run.historyCount > -HISTORY_COUNT_LIMIT))
        reader.fail("the history count is too large to be run");
    readFormatted(reader, nameFormat, {&run.resultFileName}, "the result file name (line 3, \"(A30)\")");
    run.resultNameLine = reader.lineNumber();
    if (kind == RunKind::DepthDose) {
        readFormatted(reader, nameFormat, {&run.fluenceFileName}, "the fluence file name (line 4, \"(A30)\")");
        run.fluenceNameLine = reader.lineNumber();
    }
    return run;
}

Spectrum readSpectrumFile(const std::filesystem::path& path) {
    LineReader reader(path);
    const RecordFormat nameFormat(NAME_FORMAT);
    const RecordFormat lineFormat(SPECTRUM_LINE_FORMAT);
    Spectrum spectrum;
    readFormatted(reader, nameFormat, {&spectrum.titleLine1}, "the first title line (\"(A30)\")");
    readFormatted(reader, nameFormat, {&spectrum.titleLine2}, "the second title line (\"(A30)\")");
    for (int bin = 0; bin < SPECTRUM_BINS; ++bin) {
        const auto index = static_cast<std::size_t>(bin);
        float& weight = spectrum.binWeight[index];
        readFormatted(
            reader, lineFormat, {&spectrum.relativeEnergy[index], &weight},
            "spectrum line " + std::to_string(bin + 1) + " of 100 (relative energy and weight, \"(F5.2,E10.3)\")");
        if (weight < WEIGHT_FLOOR) weight = 0.0f;
    }
    return spectrum;
}

void normaliseSpectrum(Spectrum& spectrum, float maxEnergyMeV) {
    float weightSum = 0.0f;
    for (float weight : spectrum.binWeight) weightSum = weightSum + weight;
    if (!(weightSum > 0.0f))
        throw RunError(std::string(SPECTRUM_FILE_NAME) +
                       ": every spectrum weight is below 0.001, so there is no spectrum to simulate; "
                       "no history was run and no result file was written.");
    for (std::size_t bin = 0; bin < spectrum.binWeight.size(); ++bin) {
        spectrum.binWeight[bin] = spectrum.binWeight[bin] / weightSum;
        spectrum.binEnergyKeV[bin] = spectrum.relativeEnergy[bin] * maxEnergyMeV * KEV_PER_MEV;
    }
}

HistoryCounts historiesPerBin(const Spectrum& spectrum, float historyCount) {
    HistoryCounts counts{};
    for (std::size_t bin = 0; bin < counts.size(); ++bin) {
        const float histories = spectrum.binWeight[bin] * historyCount;
        if (!(histories < HISTORY_COUNT_LIMIT && histories > -HISTORY_COUNT_LIMIT))
            throw RunError(RUN_FILE_NAME, 0,
                           "the history count is too large to be run in spectrum bin " + std::to_string(bin + 1));
        counts[bin] = static_cast<std::int32_t>(histories);
    }
    return counts;
}

float totalIncidentEnergy(const Spectrum& spectrum, float historyCount) {
    float total = 0.0f;
    for (std::size_t bin = 0; bin < spectrum.binWeight.size(); ++bin)
        total = total + spectrum.binEnergyKeV[bin] * spectrum.binWeight[bin] * historyCount;
    return total;
}

void checkRunSimulates(const RunFile& run, const HistoryCounts& counts, float totalIncidentEnergyKeV) {
    if (std::none_of(counts.begin(), counts.end(), [](std::int32_t count) { return count > 0; }))
        throw RunError(RUN_FILE_NAME, run.historyCountLine,
                       "the history count " + textOf(run.historyCount) +
                           " runs no history (every spectrum bin's share of it truncates to 0 or less); "
                           "no result file was written.");
    if (!(totalIncidentEnergyKeV > 0.0f) || !std::isfinite(totalIncidentEnergyKeV))
        throw RunError(SPECTRUM_FILE_NAME, 0,
                       "the spectrum's energies and weights request a total incident energy of " +
                           textOf(totalIncidentEnergyKeV) +
                           " keV, by which no kernel can be divided; no result file was written.");
}

std::vector<std::filesystem::path> runInputFiles(const std::filesystem::path& folder) {
    return {folder / ELECTRON_DATA_FILE_NAME, folder / RUN_FILE_NAME, folder / SPECTRUM_FILE_NAME};
}

void checkScoredGrid(const KernelGrid& grid, const std::string& resultName) {
    for (int depth = 1; depth <= KernelGrid::DEPTH_BINS; ++depth)
        for (int ring = 1; ring <= KernelGrid::RADIAL_BINS; ++ring) {
            const float value = grid.cell(depth, ring);
            if (!(value >= 0.0f) || !std::isfinite(value))
                throw RunError(resultName, 0,
                               "not written: the scored cell of depth bin " + std::to_string(depth) + ", ring " +
                                   std::to_string(ring) + " holds " + textOf(value) +
                                   ", which no deposit can give (a fault of the scoring)");
        }
}

std::string resultHeaderLines(float maxEnergyMeV, const Spectrum& spectrum, float historyCount) {
    return formatLines(RecordFormat(HEADER_FORMAT),
                       {maxEnergyMeV, std::string_view(spectrum.titleLine1), std::string_view(spectrum.titleLine2)}) +
           formatLines(RecordFormat(HISTORY_COUNT_FORMAT), {historyCount});
}

std::string resolveFileName(const std::string& nameVariable, Console& console, const NameOrigin& origin) {
    const std::string name = trimTrailingBlanks(nameVariable);
    if (!name.empty()) return name;
    try {
        return console.askFileName();
    } catch (const RunError& error) {
        throw RunError(origin.fileName, origin.lineNumber, origin.what + " name is blank and " + error.what());
    }
}

}  // namespace engine
