#include "engine/run_frame.h"

#include "engine/record_io.h"
#include "engine/run_error.h"

#include <fstream>
#include <system_error>

namespace engine {

namespace {
// Real counts at or beyond 2^31 cannot become 32-bit whole counts.
constexpr float COUNT_LIMIT = 2147483648.0f;
}  // namespace

RunFile readRunFile(const std::filesystem::path& path, RunKind kind) {
    LineReader reader(path);
    const RecordFormat nameFormat(NAME_FORMAT);
    RunFile run;
    run.maxEnergyMeV = readListDirectedReal(reader, "the maximum energy in MeV (line 1)");
    run.historyCount = readListDirectedReal(reader, "the history count (line 2)");
    if (!(run.historyCount < COUNT_LIMIT && run.historyCount > -COUNT_LIMIT))
        reader.fail("the history count is too large to be run");
    readFormatted(reader, nameFormat, {&run.resultFileName}, "the result file name (line 3, \"(A30)\")");
    if (kind == RunKind::DepthDose)
        readFormatted(reader, nameFormat, {&run.fluenceFileName}, "the fluence file name (line 4, \"(A30)\")");
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
        if (!(histories < COUNT_LIMIT && histories > -COUNT_LIMIT))
            throw RunError("The history count of spectrum bin " + std::to_string(bin + 1) + " is too large to be run.");
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

void normaliseGrid(KernelGrid& grid, float totalIncidentEnergyKeV, Console& console) {
    if (totalIncidentEnergyKeV > 0.0f) {
        grid.normalise(totalIncidentEnergyKeV);
        return;
    }
    console.line("The total incident energy is 0 (no history was requested): the scored energy is written undivided.");
}

std::string resultHeaderLines(float maxEnergyMeV, const Spectrum& spectrum, float historyCount) {
    return formatLines(RecordFormat(HEADER_FORMAT),
                       {maxEnergyMeV, std::string_view(spectrum.titleLine1), std::string_view(spectrum.titleLine2)}) +
           formatLines(RecordFormat(HISTORY_COUNT_FORMAT), {historyCount});
}

std::string resolveFileName(const std::string& nameVariable, Console& console) {
    const std::string name = trimTrailingBlanks(nameVariable);
    if (!name.empty()) return name;
    return console.askFileName();
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
    std::filesystem::path temporary = path;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw RunError(path.string(), 0, "cannot be created");
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw RunError(path.string(), 0, "could not be written completely");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw RunError(path.string(), 0, "cannot be created (" + error.message() + ")");
    }
}

}  // namespace engine
