#pragma once
// What both simulators do around the histories: read the run and spectrum files, drop weights
// below the floor and normalise, turn the weights into whole history counts per bin, run the
// histories bin by bin, and write result files whole or not at all.
#include "engine/console.h"
#include "engine/constants.h"
#include "engine/electron_data.h"
#include "engine/history_lanes.h"
#include "engine/kernel_grid.h"
#include "engine/lagged_generator.h"
#include "engine/result_file.h"
#include "engine/stop_request.h"
#include "engine/transport.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

constexpr const char* NAME_FORMAT = "(A30)";
constexpr const char* SPECTRUM_LINE_FORMAT = "(F5.2,E10.3)";
constexpr const char* HEADER_FORMAT = "(F6.2,' MeV ',2A20)";
constexpr const char* HISTORY_COUNT_FORMAT = "(F11.0)";
// Real history counts at or beyond 2^31 cannot become 32-bit whole counts: the run file's count
// is refused from here on, and the set-up window refuses it before writing the file.
constexpr float HISTORY_COUNT_LIMIT = 2147483648.0f;
constexpr const char* START_TIME_FORMAT = "(' ',' Start time =',I2,':',I2,':',I2)";
constexpr const char* FINISH_TIME_FORMAT = "(' ',' Finish time =',I2,':',I2,':',I2)";
constexpr std::string_view SIMULATION_LINE = " <<< Monte Carlo Simulation >>>";
constexpr std::string_view WAIT_LINE = "    ***  Wait a long time  ***";

// Which simulator reads the run file: the kernel run has three records, the depth-dose run a
// fourth one with the fluence file name.
enum class RunKind { Kernel, DepthDose };

struct RunFile {
    float maxEnergyMeV = 0.0f;
    float historyCount = 0.0f;    // a real: only its products with the weights become counts
    std::string resultFileName;   // 30 characters, blank-padded
    std::string fluenceFileName;  // 30 characters; depth-dose runs only
    // The lines of Nimbrola.dat that held the values (a list-directed read passes empty lines).
    int historyCountLine = 2;
    int resultNameLine = 3;
    int fluenceNameLine = 4;
};

struct Spectrum {
    std::string titleLine1;  // 30 bytes each, copied unchanged into the result files
    std::string titleLine2;
    std::array<float, SPECTRUM_BINS> relativeEnergy{};
    std::array<float, SPECTRUM_BINS> binWeight{};  // floored as read; normalised to sum 1 later
    std::array<float, SPECTRUM_BINS> binEnergyKeV{};
};

using HistoryCounts = std::array<std::int32_t, SPECTRUM_BINS>;

// Reads Nimbrola.dat: maximum energy and history count list-directed, the names with "(A30)".
// Refuses, naming the line, a maximum energy that is not a positive number or does not fit the
// results' header field ("F6.2", below 1000 MeV), and a count too large for whole counts.
RunFile readRunFile(const std::filesystem::path& path, RunKind kind);

// The console title of a simulator: its banner line and its Japanese title line.
struct SimulatorTitle {
    const char* banner;
    const char* japaneseUtf8;
    const char* japaneseShiftJis;
};

// The start of every run, in its order: the generator seeded before any file is read, the
// scattering table loaded from the folder, two empty lines, the banner and the title line.
struct RunStart {
    LaggedGenerator generator;
    ElectronData data;
};
RunStart startRun(const std::filesystem::path& folder, Console& console, const SimulatorTitle& title);

// main() of a simulator: runs `simulation` on the files of the current folder with the standard
// console. A run stopped by a signal ends with status 128 + the signal, any other failure with 1,
// its message on the error stream.
int simulatorMain(void (*simulation)(const std::filesystem::path& folder, Console& console));

// Reads Nimbrola.txt: two title lines with "(A30)", then 100 spectrum lines with "(F5.2,E10.3)";
// each weight below the floor is set to 0 as soon as its line is read.
Spectrum readSpectrumFile(const std::filesystem::path& path);

// Divides the weights by their sum (accumulated from bin 1 to 100) and sets the bin energies.
// Throws RunError when every weight fell below the floor.
void normaliseSpectrum(Spectrum& spectrum, float maxEnergyMeV);

// Histories per bin: weight x history count, truncated toward zero. Throws RunError when a count
// would not fit a 32-bit integer.
HistoryCounts historiesPerBin(const Spectrum& spectrum, float historyCount);

// The energy requested, not the energy run: sum over the bins of energy x weight x history count.
float totalIncidentEnergy(const Spectrum& spectrum, float historyCount);

// Refuses a run that would report success without simulating anything sound: a history count
// that runs no history in any bin, or a spectrum whose requested energy is not a positive number
// (the kernel would be divided by it). Throws RunError naming the file and line.
void checkRunSimulates(const RunFile& run, const HistoryCounts& counts, float totalIncidentEnergyKeV);

// The input files of a run in `folder`, which no result may replace.
std::vector<std::filesystem::path> runInputFiles(const std::filesystem::path& folder);

// Refuses to write a grid that holds a cell no run can score: negative or not a number. The
// message names the result file. Deposits are shares of non-negative losses, so this guards the
// file against a fault of the scoring, not against input.
void checkScoredGrid(const KernelGrid& grid, const std::string& resultName);

// The two header records shared by the kernel and depth-dose result files, each ended by CR LF.
std::string resultHeaderLines(float maxEnergyMeV, const Spectrum& spectrum, float historyCount);

// The name to write under: the variable without trailing blanks, or, when that is blank, the
// answer to the console question. At the end of the console input, a RunError names the origin.
std::string resolveFileName(const std::string& nameVariable, Console& console, const NameOrigin& origin);

// The history loop: bins in order, histories of a bin one after the other, one generator stream.
// A stop request (stop_request.h) ends it between histories with RunStopped.
// startState(energyKeV, draws) gives the start of each history, drawing from a LaggedGenerator
// or a DrawCursor. The sampler is prepared once per run and the energy ladder once per bin; the
// histories of a bin run side by side (history_lanes.h) with the very same draws and deposits as
// one after the other, and the generator ends exactly after the run's last draw.
template <class Scorer, class StartState, class LeavesRule>
void runSpectrum(const Spectrum& spectrum, const HistoryCounts& counts, const ElectronData& data,
                 LaggedGenerator& generator, Scorer& scorer, StartState startState, LeavesRule leaves) {
    const DeflectionSampler sampler(data);
    DrawStream stream(generator);
    HistoryLanes lanes;
    for (int bin = 0; bin < SPECTRUM_BINS; ++bin) {
        const auto index = static_cast<std::size_t>(bin);
        if (counts[index] <= 0) continue;
        const float energyKeV = spectrum.binEnergyKeV[index];
        const EnergyLadder ladder(energyKeV, data);
        runHistoriesOfBin(counts[index], energyKeV, ladder, sampler, stream, scorer, startState, leaves, lanes);
    }
    stream.finish();
}

}  // namespace engine
