#pragma once
// Angular scattering data of the engine: for 24 electron energies, 65 quantiles of the cosine of the
// deflection over one transport step (cosine x 16384), read from ELDAT.dat, and the sampling of one
// deflection from them.
#include "engine/constants.h"
#include "engine/lagged_generator.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

namespace engine {

constexpr int ENERGY_ROWS = 24;
constexpr int QUANTILE_COLUMNS = 65;                        // cumulative probabilities 0, 1/64, ..., 1
constexpr float QUANTILE_TO_COSINE = 6.10352E-5f;           // 1/16384 to six figures
constexpr float SINGLE_PI = 3.141592f;                      // the engine's single-precision pi
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

// Where an energy (keV) lies in the table: rows upperRow and upperRow + 1 (0-based) bracket it from
// above and below, energyFraction is its position between them (negative above the highest row,
// where the two top rows are extrapolated). At or below the lowest energy nothing is deflected.
struct EnergyBracket {
    bool deflects = false;
    int upperRow = 0;
    float energyFraction = 0.0f;
};
EnergyBracket bracketEnergy(const ElectronData& data, float energyKeV);

// Position of the first uniform among the 64 intervals of a row: column 0..63 and the fraction
// of the way to the next column.
struct ColumnPosition {
    int column = 0;
    float fraction = 0.0f;
};
inline ColumnPosition columnPosition(float u1) {
    const float t = u1 * 64.0f;
    const int n = static_cast<int>(t);
    return ColumnPosition{n, t - static_cast<float>(n)};
}

// A quantile between two columns: left + (right - left) x fraction, with rise = right - left.
inline float quantileBetween(float left, float rise, float fraction) { return left + rise * fraction; }

// The deflection cosine from the quantiles interpolated along the upper and the lower row.
inline float deflectionCosine(float upperQuantile, float lowerQuantile, float energyFraction) {
    const float value = upperQuantile + (lowerQuantile - upperQuantile) * energyFraction;
    float cosChi = value * QUANTILE_TO_COSINE;
    // -16384 x 6.10352E-5 is -1.0000006, and extrapolation can leave the range further:
    // a cosine is kept within [-1, 1] so that the sine stays defined.
    if (cosChi > 1.0f) cosChi = 1.0f;
    if (cosChi < -1.0f) cosChi = -1.0f;
    return cosChi;
}

inline float sineOf(float cosine) { return std::sqrt(1.0f - cosine * cosine); }

// Azimuth of a deflection from the second uniform, with the engine's single-precision pi.
inline float azimuthAngle(float u2) { return u2 * SINGLE_PI * 2.0f; }

// Samples the deflection after a step that started at energyKeV. At or below the lowest table
// energy nothing is drawn and no deflection results; otherwise two uniforms are drawn (column, then
// azimuth), the quantiles are interpolated along the two bracketing rows and then in energy
// (extrapolated above the highest energy). This is the definition; the transport uses the
// prepared DeflectionSampler, which gives the very same numbers.
Deflection sampleDeflection(const ElectronData& data, float energyKeV, LaggedGenerator& generator);

}  // namespace engine
