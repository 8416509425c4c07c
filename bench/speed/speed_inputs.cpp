// Writes the exchange files of a default run (Beta spectrum alpha 8, beta 2, 9 MeV) with the set-up
// window's writer into a folder that holds ELDAT.dat, and prints the number of transport steps the
// run takes when no history ends early: the divisor for nanoseconds per step.
//   speed-inputs <folder> <Tolvane|Brisella> <histories>
#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
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
constexpr double MAX_ENERGY_MEV = 9.0;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: speed-inputs <folder> <Tolvane|Brisella> <histories>\n";
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        const bool depthDose = std::string(argv[2]) == "Tolvane";
        beamdata::ExchangeContent content;
        content.kind = depthDose ? beamdata::CalculationKind::DepthDose : beamdata::CalculationKind::Kernel;
        content.maxEnergyMeV = MAX_ENERGY_MEV;
        content.historyText = argv[3];
        content.resultBaseName = "bench";
        content.titleLine1 = beamdata::alphaTitleLine(ALPHA);
        content.titleLine2 = beamdata::betaTitleLine(BETA);
        content.relativeWeight = *beamdata::relativeBetaDensity(ALPHA, BETA);
        beamdata::writeExchangeFiles(folder, content);

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
