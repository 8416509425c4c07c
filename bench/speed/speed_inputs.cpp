// Writes the exchange files of a default run (Beta spectrum alpha 8, beta 2, 9 MeV) into a folder
// that holds ELDAT.dat, and prints the number of transport steps the run takes when no history
// ends early: the divisor for nanoseconds per step.
//   speed-inputs <folder> <Tolvane|Brisella> <histories>
#include "engine/energy_ladder.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr double ALPHA = 8.0;
constexpr double BETA = 2.0;

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw engine::RunError(path.string(), 0, "cannot be written");
}

// Relative energies j/100 and weights of the Beta density relative to its largest value, as the
// set-up window writes them; the titles carry the Shift_JIS alpha and beta.
std::string betaSpectrumText() {
    auto density = [](double x) { return std::pow(x, ALPHA - 1.0) * std::pow(1.0 - x, BETA - 1.0); };
    double largest = 0.0;
    for (int j = 0; j <= 100; ++j) largest = std::max(largest, density(j / 100.0));
    std::string text = "\x83\xbf=8.0\r\n\x83\xc0=2.0\r\n";
    char line[64];
    for (int i = 1; i <= 100; ++i) {
        std::snprintf(line, sizeof line, "%05.2f %.3E\r\n", i / 100.0, density(i / 100.0) / largest);
        text += line;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: speed-inputs <folder> <Tolvane|Brisella> <histories>\n";
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        const bool depthDose = std::string(argv[2]) == "Tolvane";
        const std::string count = argv[3];
        std::string run = " 9.0\r\n" + count + ".\r\n" + (depthDose ? "bench.pdd\r\nbench.spct\r\n" : "bench.elk\r\n");
        writeText(folder / engine::RUN_FILE_NAME, run);
        writeText(folder / engine::SPECTRUM_FILE_NAME, betaSpectrumText());

        const engine::ElectronData data = engine::loadElectronData(folder / engine::ELECTRON_DATA_FILE_NAME);
        const engine::RunFile runFile = engine::readRunFile(
            folder / engine::RUN_FILE_NAME, depthDose ? engine::RunKind::DepthDose : engine::RunKind::Kernel);
        engine::Spectrum spectrum = engine::readSpectrumFile(folder / engine::SPECTRUM_FILE_NAME);
        engine::normaliseSpectrum(spectrum, runFile.maxEnergyMeV);
        const engine::HistoryCounts counts = engine::historiesPerBin(spectrum, runFile.historyCount);
        long long histories = 0;
        long long steps = 0;
        for (std::size_t bin = 0; bin < counts.size(); ++bin) {
            if (counts[bin] <= 0) continue;
            histories += counts[bin];
            steps += static_cast<long long>(counts[bin]) *
                     static_cast<long long>(engine::EnergyLadder(spectrum.binEnergyKeV[bin], data).steps().size());
        }
        std::cout << histories << " " << steps << "\n";
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
