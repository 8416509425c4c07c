#pragma once
// Angular scattering data of the engine: for 24 electron energies, 65 quantiles of the cosine of the
// deflection over one transport step (cosine x 16384), read from ELDAT.dat, and the sampling of one
// deflection from them.
#include "engine/lagged_generator.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace engine {

constexpr int ENERGY_ROWS = 24;
constexpr int QUANTILE_COLUMNS = 65;                  // cumulative probabilities 0, 1/64, ..., 1
constexpr float QUANTILE_TO_COSINE = 6.10352E-5f;     // 1/16384 to six figures
constexpr float SINGLE_PI = 3.141592f;                // the engine's single-precision pi
constexpr const char* ELECTRON_DATA_FILE_NAME = "ELDAT.dat";
constexpr const char* QUANTILE_ROW_FORMAT = "(1X,8I6)";     // one row of 65 integers on 9 lines
constexpr const char* TABLE_ENERGY_FORMAT = "(1X,4E15.7)";  // 24 energies on 6 lines

struct ElectronData {
    // deflectionQuantiles[k][c]: row k (0 = highest energy), column c (0 = cumulative probability 0).
    std::array<std::array<std::int32_t, QUANTILE_COLUMNS>, ENERGY_ROWS> deflectionQuantiles{};
    // Kinetic energy of each row in keV, strictly descending.
    std::array<float, ENERGY_ROWS> tableEnergyKeV{};
};

// Reads the table (222 lines: 24 rows with "(1X,8I6)", then the energies with "(1X,4E15.7)").
// Throws RunError naming the file and line when the file is missing, short or malformed.
ElectronData loadElectronData(const std::filesystem::path& path = ELECTRON_DATA_FILE_NAME);

// The file text of a table in the layout that loadElectronData reads (lines end in CR LF).
std::string formatElectronData(const ElectronData& data);
// Writes formatElectronData(data) to path; throws RunError when the file cannot be written.
void saveElectronData(const std::filesystem::path& path, const ElectronData& data);

// The deflection to apply before the next step: cosine and sine of the deflection angle chi and of
// its azimuth phi. When `deflected` is false the step gets no deflection and the azimuth fields
// are not meaningful.
struct Deflection {
    bool deflected = false;
    float cosChi = 1.0f;
    float sinChi = 0.0f;
    float cosAzimuth = 1.0f;
    float sinAzimuth = 0.0f;
};

// Samples the deflection after a step that started at energyKeV. At or below the lowest table
// energy nothing is drawn and no deflection results; otherwise two uniforms are drawn (column, then
// azimuth), the quantiles are interpolated along the two bracketing rows and then in energy
// (extrapolated above the highest energy).
Deflection sampleDeflection(const ElectronData& data, float energyKeV, LaggedGenerator& generator);

}  // namespace engine
