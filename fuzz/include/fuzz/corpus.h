#pragma once
// The valid files that the campaign mutates, every one of them written by the product itself or
// shipped with it: the data files, the front end's exchange files, the simulators' results, the
// fit's curve file, basis file and output lines. Every reader must take each of them as it is.
#include <filesystem>
#include <string>

namespace fuzz {

struct Corpus {
    std::string eldat;           // data/ELDAT.dat
    std::string waterCsda;       // data/water.csda
    std::string measured;        // data/example-9MeV-simulated.csv
    std::string wideEldat;       // a scattering table of wide deflections, by the engine's writer
    std::string kernelRun;       // Nimbrola.dat of a kernel set-up, by the front end's writer
    std::string kernelRun12MeV;  // the same at 12 MeV
    std::string kernelSpectrum;
    std::string depthDoseRun;  // Nimbrola.dat of a depth-dose set-up
    std::string depthDoseSpectrum;
    std::string kernelResult;     // Brisella on the kernel set-up
    std::string depthDoseResult;  // Tolvane on the depth-dose set-up
    std::string fluence;
    std::string fittedCurve;  // orvalis-fit --out on the measured example
    std::string basisCache;   // the basis file it kept
    std::string basisCacheName;
    std::string fitOutput;      // its standard output: progress, report and RESULT lines
    std::string freeFitOutput;  // orvalis-fit --model free on the measured example: its output
    // Water-tank exports of several depth curves and profiles, written from the formats' facts by
    // the tests' sample writer (beamdata/tests/samples).
    std::string waterTankMcc;
    std::string waterTankRfa300;
    std::string waterTankW2cad;
};

constexpr const char* RESULT_BASE = "9MeV-9.0_8.0-2.0";
constexpr int KERNEL_HISTORIES = 400;
constexpr int WIDE_KERNEL_HISTORIES = 2000;  // enough for electrons in front of the entry plane
constexpr int DEPTH_DOSE_HISTORIES = 4000;
constexpr int BASIS_HISTORIES = 100;  // per basis curve, the fit's smallest
constexpr double FIT_MAX_ENERGY_MEV = 9.0;

// Builds the corpus, running the simulators and the fit in `scratch` (an empty folder); the water-tank
// samples come from `samplesFolder`. Throws std::runtime_error when a file cannot be made or read.
Corpus makeCorpus(const std::filesystem::path& dataFolder, const std::filesystem::path& samplesFolder,
                  const std::filesystem::path& scratch);

}  // namespace fuzz
