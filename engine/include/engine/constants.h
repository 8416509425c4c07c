#pragma once
// The facts that the simulators, the fit, the tools and the front end must share to the byte: the
// files by name, the units of the files against those of the engine, the spectrum's bins, and the
// depth axis of the result files. Each is defined here once.
#include <filesystem>

namespace engine {

// Files of a run, opened by plain name in the working folder.
constexpr const char* ELECTRON_DATA_FILE_NAME = "ELDAT.dat";
constexpr const char* RUN_FILE_NAME = "Nimbrola.dat";
constexpr const char* SPECTRUM_FILE_NAME = "Nimbrola.txt";

// The files speak MeV, the engine keV.
constexpr float KEV_PER_MEV = 1000.0f;
constexpr float MEV_PER_KEV = 0.001f;

constexpr int SPECTRUM_BINS = 100;
constexpr float WEIGHT_FLOOR = 0.001f;  // weights below it count as 0 (a weight of exactly 0.001 stays)

// Depth axis: the beam enters the water at z = 1.5 cm; depth bin i (1..125) of 1 mm is labelled
// i - 15 in the result files, the depth in mm of its deeper face below the entry plane.
constexpr float ENTRY_PLANE_Z_CM = 1.5f;
constexpr int DEPTH_BINS = 125;
constexpr int DEPTH_LABEL_OFFSET_MM = 15;

// The statistical uncertainty of a depth-dose result lies beside it: the result's name with its
// last extension replaced by ".sd" ("run.pdd" gives "run.sd"), or ".sd" appended when it has none.
constexpr const char* UNCERTAINTY_EXTENSION = ".sd";
inline std::filesystem::path uncertaintyFileName(std::filesystem::path resultName) {
    resultName.replace_extension(UNCERTAINTY_EXTENSION);
    return resultName;
}

}  // namespace engine
